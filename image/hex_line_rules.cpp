#include "image/hex_line_rules.h"

#include <array>
#include <string>
#include <string_view>

#include "image/file_errors.h"

namespace hexloader {
namespace {

// Value of each character as a hexadecimal digit, or -1.
constexpr std::array<std::int8_t, 256> MakeDigitTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::int8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::int8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::int8_t>(c - 'a' + 10);
  return table;
}
constexpr std::array<std::int8_t, 256> kDigit = MakeDigitTable();

int DigitValue(char c) { return kDigit[static_cast<unsigned char>(c)]; }

// Value of each pair of characters as a two-digit hexadecimal byte, or -1: one look-up per byte, which is
// most of the conversion's work on a large file.
const std::array<std::int16_t, 65536>& PairTable() {
  static const std::array<std::int16_t, 65536> table = [] {
    std::array<std::int16_t, 65536> t{};
    for (int hi = 0; hi < 256; ++hi)
      for (int lo = 0; lo < 256; ++lo) {
        int h = kDigit[hi], l = kDigit[lo];
        t[(hi << 8) | lo] = static_cast<std::int16_t>((h < 0 || l < 0) ? -1 : (h << 4) | l);
      }
    return t;
  }();
  return table;
}

int PairValue(const std::array<std::int16_t, 65536>& Table, const char* p) {
  return Table[(static_cast<unsigned>(static_cast<unsigned char>(p[0])) << 8) | static_cast<unsigned char>(p[1])];
}

// The field's value, or -1 when one of its characters is not a hexadecimal digit. At most 8 digits.
std::int64_t HexValue(std::string_view Digits) {
  const auto& table = PairTable();
  std::uint32_t value = 0;
  std::size_t i = 0;
  for (; i + 2 <= Digits.size(); i += 2) {
    int v = PairValue(table, Digits.data() + i);
    if (v < 0) return -1;
    value = (value << 8) | static_cast<std::uint32_t>(v);
  }
  if (i < Digits.size()) {
    int d = DigitValue(Digits[i]);
    if (d < 0) return -1;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return value;
}

// Parses a field as the operator's error message shows it: "$", the field's characters and Suffix.
std::uint32_t ParseField(std::string_view Digits, std::string_view Suffix) {
  std::int64_t value = HexValue(Digits);
  if (value < 0) throw EConvertError::NotAnInteger("$" + std::string(Digits) + std::string(Suffix));
  return static_cast<std::uint32_t>(value) << (4 * Suffix.size());
}

}  // namespace

THexRecordKind ClassifyLine(const THexLine& Line) {
  std::string_view t = Line.Text;
  if (t.empty() || t[0] != ':') return THexRecordKind::Ignored;
  if (t.size() < kDataStart) throw EConvertError::LineTooShort(Line.Number);
  if (t[1] == '0' && t[2] == '2') {
    // Only the second digit of the type picks the base record, as stored files have always been read.
    if (t[8] == '2') return THexRecordKind::SegmentAddress;
    if (t[8] == '4') return THexRecordKind::LinearAddress;
  }
  if (t[7] == '0' && t[8] == '0') {
    // A data record without bytes writes nothing at all.
    if (t[1] == '0' && t[2] == '0') return THexRecordKind::Ignored;
    return THexRecordKind::Data;
  }
  return THexRecordKind::Ignored;
}

std::uint32_t ExtendedAddressBase(const THexLine& Line, THexRecordKind Kind) {
  if (Line.Text.size() < kDataStart + 4) throw EConvertError::LineTooShort(Line.Number);
  std::string_view digits = Line.Text.substr(kDataStart, 4);
  return ParseField(digits, Kind == THexRecordKind::SegmentAddress ? "0" : "0000");
}

std::uint16_t DataLoadAddress(const THexLine& Line) {
  return static_cast<std::uint16_t>(ParseField(Line.Text.substr(3, 4), ""));
}

std::uint8_t DataByteCount(const THexLine& Line) {
  auto count = static_cast<std::uint8_t>(ParseField(Line.Text.substr(1, 2), ""));
  if (Line.Text.size() < kDataStart + 2 * std::size_t{count}) throw EConvertError::LineTooShort(Line.Number);
  return count;
}

std::size_t DecodeDataBytes(const THexLine& Line, std::uint8_t Count, std::uint8_t* Out) {
  const char* p = Line.Text.data() + kDataStart;
  const auto& table = PairTable();
  // Decode all, then look for a bad byte once: no branch per byte on the common path.
  int bad = 0;
  for (std::size_t k = 0; k < Count; ++k) {
    int v = PairValue(table, p + 2 * k);
    bad |= v;
    Out[k] = static_cast<std::uint8_t>(v);
  }
  if (bad >= 0) return Count;
  std::size_t k = 0;
  while (PairValue(table, p + 2 * k) >= 0) ++k;
  return k;
}

void RaiseBadDataByte(const THexLine& Line, std::size_t Index) {
  throw EConvertError::NotAnInteger("$" + std::string(Line.Text.substr(kDataStart + 2 * Index, 2)));
}

}  // namespace hexloader
