#pragma once
// The records of a HEX file whose checksum is wrong. The converter never looks at checksums (stored
// files patched by hand rely on that); this is for tools that want to warn about a damaged file.
#include <cstdint>
#include <string_view>
#include <vector>

#include "image/hex_lines.h"

namespace hexloader {

struct TChecksumReport {
  static constexpr std::size_t MaxLinesKept = 5;

  std::uint64_t BadRecords = 0;           // records whose checksum is wrong or cannot be read
  std::vector<std::uint64_t> FirstLines;  // line numbers (from 1) of the first MaxLinesKept of them
};

// Checks records one at a time, as a pass over the lines hands them over (the converter's own, see
// HexToBinText): Line must start with ":".
class TChecksumCounter {
 public:
  void Check(const THexLine& Line);
  const TChecksumReport& Report() const { return Report_; }

 private:
  TChecksumReport Report_;
};

// Checks every record of a HEX file's text, with the converter's line rules: lines that do not start
// with ":" (after a byte-order mark and blanks the converter skips) are no records and not counted. A
// record's checksum is right when its byte count, address, type, data and checksum are all hexadecimal
// digits and their bytes sum to 0 modulo 256; text after the checksum is allowed, as the converter
// ignores it. A record too short for its byte count, or with a character that is not a digit in those
// positions, counts as wrong.
TChecksumReport CheckRecordChecksums(std::string_view Text);

}  // namespace hexloader
