#include "production/serial_value.h"

#include <limits>

namespace hexloader::production {

const char* SerialFormatName(TSerialFormat Format) {
  switch (Format) {
    case TSerialFormat::LittleEndian: return "le";
    case TSerialFormat::BigEndian: return "be";
    case TSerialFormat::Ascii: return "ascii";
  }
  return "le";
}

TSerialValue TSerialValue::OfNumber(std::uint64_t Number, TSerialFormat Format, int Width) {
  TSerialValue V;
  V.Number_ = Number;
  V.Text_ = std::to_string(Number);
  V.IsText_ = Format == TSerialFormat::Ascii;
  if (V.IsText_ && static_cast<int>(V.Text_.size()) < Width)
    V.Text_.insert(0, static_cast<std::size_t>(Width) - V.Text_.size(), '0');
  return V;
}

TSerialValue TSerialValue::OfText(std::string Text) {
  TSerialValue V;
  V.Number_ = ParseDecimalDigits(Text);
  V.Text_ = std::move(Text);
  V.IsText_ = true;
  return V;
}

TSerialValue::TKey TSerialValue::Key() const {
  if (Number_) return *Number_;
  return Text_;
}

namespace {

std::optional<std::uint64_t> ParseDigits(std::string_view Text, unsigned Base) {
  if (Text.empty()) return std::nullopt;
  std::uint64_t Value = 0;
  for (const char C : Text) {
    unsigned Digit;
    if (C >= '0' && C <= '9') Digit = static_cast<unsigned>(C - '0');
    else if (Base == 16 && C >= 'a' && C <= 'f') Digit = static_cast<unsigned>(C - 'a' + 10);
    else if (Base == 16 && C >= 'A' && C <= 'F') Digit = static_cast<unsigned>(C - 'A' + 10);
    else return std::nullopt;
    if (Value > (std::numeric_limits<std::uint64_t>::max() - Digit) / Base) return std::nullopt;
    Value = Value * Base + Digit;
  }
  return Value;
}

}  // namespace

std::optional<std::uint64_t> ParseUnsigned(std::string_view Text) {
  if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) return ParseDigits(Text.substr(2), 16);
  return ParseDigits(Text, 10);
}

std::optional<std::uint64_t> ParseDecimalDigits(std::string_view Text) { return ParseDigits(Text, 10); }

std::uint64_t LargestSerial(TSerialFormat Format, int Size) {
  if (Format == TSerialFormat::Ascii) {
    // 10^20 exceeds 64 bits: a field of 20 digits or more holds every number (the field has at most 8).
    std::uint64_t Largest = 9;
    for (int i = 1; i < Size && i < 19; ++i) Largest = Largest * 10 + 9;
    return Size >= 20 ? std::numeric_limits<std::uint64_t>::max() : Largest;
  }
  return Size >= 8 ? std::numeric_limits<std::uint64_t>::max() : (std::uint64_t{1} << (8 * Size)) - 1;
}

}  // namespace hexloader::production
