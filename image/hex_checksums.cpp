#include "image/hex_checksums.h"

#include <array>

#include "image/hex_lines.h"

namespace hexloader {
namespace {

// Value of each character as a hexadecimal digit, or 0x100 (beyond any byte: one test per record
// finds a bad digit anywhere in it).
constexpr std::array<std::uint16_t, 256> MakeDigits() {
  std::array<std::uint16_t, 256> t{};
  for (auto& v : t) v = 0x100;
  for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::uint16_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<std::uint16_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<std::uint16_t>(c - 'a' + 10);
  return t;
}
constexpr std::array<std::uint16_t, 256> kDigits = MakeDigits();

unsigned Digit(char C) { return kDigits[static_cast<unsigned char>(C)]; }

// Byte count, address (2), type and checksum around the data.
constexpr std::size_t kFrameBytes = 5;

bool ChecksumIsRight(std::string_view Record) {
  if (Record.size() < 3) return false;
  const unsigned countHigh = Digit(Record[1]), countLow = Digit(Record[2]);
  if ((countHigh | countLow) > 0xF) return false;
  const std::size_t bytes = kFrameBytes + ((countHigh << 4) | countLow);
  if (Record.size() < 1 + 2 * bytes) return false;
  const char* p = Record.data() + 1;
  unsigned sum = 0, bad = 0;
  for (std::size_t k = 0; k < bytes; ++k, p += 2) {
    const unsigned high = Digit(p[0]), low = Digit(p[1]);
    bad |= high | low;
    sum += (high << 4) | low;
  }
  return bad <= 0xF && (sum & 0xFF) == 0;
}

}  // namespace

void TChecksumCounter::Check(const THexLine& Line) {
  if (ChecksumIsRight(Line.Text)) return;
  ++Report_.BadRecords;
  if (Report_.FirstLines.size() < TChecksumReport::MaxLinesKept) Report_.FirstLines.push_back(Line.Number);
}

TChecksumReport CheckRecordChecksums(std::string_view Text) {
  TChecksumCounter counter;
  THexLineReader lines(Text);
  THexLine line;
  while (lines.Next(line))
    if (!line.Text.empty() && line.Text[0] == ':') counter.Check(line);
  return counter.Report();
}

}  // namespace hexloader
