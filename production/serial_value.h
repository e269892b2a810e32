#pragma once
// A board's serial number as the production line hands it out, stamps it and records it: a number
// (written in binary, or as decimal digits), or for the ascii format a text taken from a list.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace hexloader::production {

// How the number is written into the image's field of Size bytes.
enum class TSerialFormat {
  LittleEndian,  // "le": binary, least significant byte first
  BigEndian,     // "be": binary, most significant byte first
  Ascii,         // "ascii": decimal digits zero-padded to the field's size, or a list's text as it stands
};

const char* SerialFormatName(TSerialFormat Format);  // "le", "be", "ascii"

class TSerialValue {
 public:
  // A number; for the ascii format its text is the digits zero-padded to Width.
  static TSerialValue OfNumber(std::uint64_t Number, TSerialFormat Format, int Width);
  // A text for the ascii format (a list line that is not only digits, or one kept as it stands).
  static TSerialValue OfText(std::string Text);

  // The number, when the value is one (every binary value; an ascii text of digits only).
  const std::optional<std::uint64_t>& Number() const { return Number_; }
  // For the ascii format, the characters the field receives; for a binary value, its decimal digits.
  const std::string& Text() const { return Text_; }
  // True for the ascii format: records carry the text (a JSON string), not the number.
  bool IsText() const { return IsText_; }

  // Two values name the same board's number when both are numbers and equal ("00000123" and 123),
  // or, for texts that are no number, when the texts are equal.
  using TKey = std::variant<std::uint64_t, std::string>;
  TKey Key() const;

  bool operator==(const TSerialValue& Other) const = default;

 private:
  std::optional<std::uint64_t> Number_;
  std::string Text_;
  bool IsText_ = false;
};

// A whole unsigned number in decimal, or in hexadecimal after "0x" / "0X"; nothing else (no sign, no
// blanks). Empty when Text is none or does not fit 64 bits.
std::optional<std::uint64_t> ParseUnsigned(std::string_view Text);
// Decimal digits only ("00123" is 123); empty otherwise or beyond 64 bits.
std::optional<std::uint64_t> ParseDecimalDigits(std::string_view Text);

// The largest number a field of Size bytes holds in Format: 256^Size - 1, or 10^Size - 1 for ascii.
std::uint64_t LargestSerial(TSerialFormat Format, int Size);

}  // namespace hexloader::production
