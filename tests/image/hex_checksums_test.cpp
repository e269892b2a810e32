// Which records have wrong checksums: a table of small HEX texts and the line numbers found.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "image/hex_checksums.h"
#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

// Line with its checksum's last digit changed: still hexadecimal, now wrong.
std::string Damaged(std::string Line) {
  Line.back() = Line.back() == '0' ? '1' : '0';
  return Line;
}

const std::string kGood = DataRecord(0x0010, Counting(16, 0xA0));
const std::string kBad = Damaged(kGood);

struct TChecksumCase {
  std::string Name;
  std::string Hex;
  std::uint64_t BadRecords;
  std::vector<std::uint64_t> FirstLines;
};
void PrintTo(const TChecksumCase& Case, std::ostream* Out) { *Out << Case.Name; }

std::vector<TChecksumCase> ChecksumCases() {
  std::vector<TChecksumCase> cases = {
      {"AllRight", kGood + "\n" + Record(0x04, 0, {0x00, 0x01}) + "\n:00000001FF\n", 0, {}},
      {"LowerCaseDigits", "\n:020000040001f9\n", 0, {}},
      {"TextAfterChecksumIsAllowed", kGood + " ; patched\n", 0, {}},
      {"EmptyDataRecord", ":0000000000\n", 0, {}},
      {"OneWrong", ":00000001FF\n" + kBad + "\n" + kGood + "\n", 1, {2}},
      {"WrongInEveryKindOfRecord", ":020000040001F8\n:00000001FE\n" + kBad + "\n", 3, {1, 2, 3}},
      {"FlippedBitInData", kGood.substr(0, 10) + "1" + kGood.substr(11) + "\n", 1, {1}},  // A0 read as A1
      {"TruncatedRecord", kGood.substr(0, 30) + "\n", 1, {1}},
      {"ChecksumMissing", kGood.substr(0, kGood.size() - 2) + "\n", 1, {1}},
      {"NotADigitInsideTheRecord", ":10001000G0A1A2A3A4A5A6A7A8A9AAABACADAEAF00\n", 1, {1}},
      {"ColonAndNothingElse", ":\n", 1, {1}},
      {"LinesWithoutColonAreNoRecords", "; comment\n\n10001000\nx" + kBad + "\n", 0, {}},
      // The converter's own line rules: records behind a byte-order mark and blanks are records.
      {"IndentedRecordKeepsItsLineNumber", kGood + "\n\n \t" + kBad + "\n", 1, {3}},
      {"ByteOrderMarkBeforeFirstRecord", "\xEF\xBB\xBF" + kBad + "\r\n" + kGood + "\r\n", 1, {1}},
  };
  std::string many;
  for (int i = 0; i < 7; ++i) many += kBad + "\n";
  cases.push_back({"OnlyTheFirstFiveLinesAreKept", many, 7, {1, 2, 3, 4, 5}});
  return cases;
}

class TChecksumCaseTest : public ::testing::TestWithParam<TChecksumCase> {};

TEST_P(TChecksumCaseTest, CountsWrongRecordsAndKeepsTheirFirstLines) {
  const TChecksumReport report = CheckRecordChecksums(GetParam().Hex);
  EXPECT_EQ(report.BadRecords, GetParam().BadRecords);
  EXPECT_EQ(report.FirstLines, GetParam().FirstLines);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Texts, TChecksumCaseTest, ::testing::ValuesIn(ChecksumCases()),
                         [](const auto& info) { return info.param.Name; });
// clang-format on

}  // namespace
}  // namespace hexloader::test
