// What the image holds for each kind of line, and how each bad line fails: tables of small HEX files
// converted for real in a temporary directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "image/file_errors.h"
#include "image/hex_to_bin.h"
#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

std::string Lines(const std::vector<std::string>& Lines, const char* Break = "\n") {
  std::string text;
  for (const std::string& l : Lines) text += l + Break;
  return text;
}

// Replaces the characters of Line from position Pos on with Text.
std::string Patch(std::string Line, std::size_t Pos, const std::string& Text) {
  Line.replace(Pos, Text.size(), Text);
  return Line;
}

std::string Lower(std::string Text) {
  for (char& c : Text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Text;
}

const TBytes k16 = Counting(16, 0xA0);

// ---- Files that convert ----

struct TImageCase {
  std::string Name;
  std::string Hex;
  TBytes Expected;
};

std::vector<TImageCase> ImageCases() {
  std::vector<TImageCase> cases = {
      {"RecordsInOrderWithFillBetween",
       Lines({DataRecord(0x0000, Counting(16, 0)), DataRecord(0x0020, Counting(16, 0x20))}),
       Image(48, {{0x00, Counting(16, 0)}, {0x20, Counting(16, 0x20)}})},
      {"FirstRecordAboveZeroIsPrecededByFill", Lines({DataRecord(0x0100, k16)}), Image(0x110, {{0x100, k16}})},
      {"ExtendedSegmentAddress", Lines({":020000021000EC", DataRecord(0x0000, k16)}), Image(0x10010, {{0x10000, k16}})},
      {"ExtendedLinearAddress", Lines({":020000040001F9", DataRecord(0x0000, k16)}), Image(0x10010, {{0x10000, k16}})},
      {"SegmentTimesSixteenPlusLoadAddress", Lines({Record(0x02, 0, {0x12, 0x34}), DataRecord(0x0010, k16)}),
       Image(0x12360, {{0x12350, k16}})},
      {"BaseHoldsForFollowingRecords",
       Lines({":020000040001F9", DataRecord(0x0000, k16), ":00000001FF", DataRecord(0x0010, Counting(16, 0))}),
       Image(0x10020, {{0x10000, k16}, {0x10010, Counting(16, 0)}})},
      {"LaterBaseRecordReplacesEarlierOne",
       Lines({Record(0x04, 0, {0x00, 0x02}), ":020000021000EC", DataRecord(0x0000, k16)}),
       Image(0x10010, {{0x10000, k16}})},
      {"BackwardsRecordLandsAtItsOwnAddress",
       Lines({DataRecord(0x0020, Counting(16, 0x20)), DataRecord(0x0010, Counting(16, 0x10))}),
       Image(0x30, {{0x10, Counting(16, 0x10)}, {0x20, Counting(16, 0x20)}})},
      {"BackwardsBelowEarlierBase",
       Lines({":020000040001F9", DataRecord(0x0000, k16), ":020000040000FA", DataRecord(0xFFF0, Counting(16, 0))}),
       Image(0x10010, {{0xFFF0, Counting(16, 0)}, {0x10000, k16}})},
      {"AdjacentRecordsInReverseOrder",
       Lines({DataRecord(0x0004, {4, 5, 6}), DataRecord(0x0002, {2, 3}), DataRecord(0x0000, {0, 1})}),
       Image(7, {{0, {0, 1, 2, 3, 4, 5, 6}}})},
      {"TwoByteDataRecord", Lines({DataRecord(0x0040, {0x12, 0x34})}), Image(0x42, {{0x40, {0x12, 0x34}}})},
      {"DataRecordWithoutBytesWritesNothing", Lines({DataRecord(0x0000, k16), DataRecord(0x0100, {})}),
       Image(16, {{0, k16}})},
      {"OtherRecordTypesAreIgnored",
       Lines({DataRecord(0x0000, k16), Record(0x01, 0x0100, {}), Record(0x03, 0, {0x12, 0x34, 0x00, 0x00}),
              Record(0x05, 0, {0x00, 0x01, 0x00, 0x00}), Record(0x06, 0, {0x00, 0x01}),
              Record(0x01, 0x0200, {0x11, 0x22})}),
       Image(16, {{0, k16}})},
      // Only the second digit of a two-byte record's type is looked at, as stored files have always been read.
      {"TwoByteRecordOfTypeEndingInFourSetsLinearBase", Lines({":020000140001E9", DataRecord(0x0000, k16)}),
       Image(0x10010, {{0x10000, k16}})},
      {"LinesNotStartingWithColonAreIgnored",
       Lines({"", "x" + DataRecord(0x0000, k16), "; " + DataRecord(0x0010, k16), "10000000", DataRecord(0x0020, k16)}),
       Image(0x30, {{0x20, k16}})},
      // Editors indent records and save a byte-order mark; neither may cost a record.
      {"BlanksBeforeColonAreSkipped", Lines({" " + DataRecord(0x0000, k16), " \t  " + DataRecord(0x0010, k16)}),
       Image(0x20, {{0x00, k16}, {0x10, k16}})},
      {"IndentedExtendedAddressRecord", Lines({"\t:020000040001F9", DataRecord(0x0000, {1, 2, 3, 4})}),
       Image(0x10004, {{0x10000, {1, 2, 3, 4}}})},
      {"ByteOrderMarkBeforeExtendedAddressRecord",
       "\xEF\xBB\xBF" + Lines({":020000040001F9", DataRecord(0x0000, {1, 2, 3, 4})}),
       Image(0x10004, {{0x10000, {1, 2, 3, 4}}})},
      {"ByteOrderMarkThenBlanks", "\xEF\xBB\xBF  " + Lines({DataRecord(0x0000, k16)}), Image(16, {{0, k16}})},
      {"ByteOrderMarkCountsOnlyAtTheStart",
       Lines({DataRecord(0x0000, k16), "\xEF\xBB\xBF" + DataRecord(0x0010, k16), DataRecord(0x0020, k16)}),
       Image(0x30, {{0x00, k16}, {0x20, k16}})},
      {"BlanksBeforeOtherTextStillIgnored",
       Lines({"  ;" + DataRecord(0x0000, k16), "   ", "\t x" + DataRecord(0x0010, k16), DataRecord(0x0020, k16)}),
       Image(0x30, {{0x20, k16}})},
      {"OtherWhitespaceBeforeColonStillIgnored",
       Lines({"\v" + DataRecord(0x0000, k16), "\f" + DataRecord(0x0010, k16)}),
       {}},
      {"ColonLineWithoutDataTypeIsIgnored", Lines({":hello, world", DataRecord(0x0000, k16)}), Image(16, {{0, k16}})},
      {"LowerCaseDigits", Lines({Lower(":020000040001F9"), Lower(DataRecord(0xABC0, k16))}),
       Image(0x1ABD0, {{0x1ABC0, k16}})},
      {"ChecksumIsNotChecked", Lines({Patch(DataRecord(0x0000, k16), 41, "00")}), Image(16, {{0, k16}})},
      {"TextAfterChecksumIsIgnored", Lines({DataRecord(0x0000, k16) + "  trailing"}), Image(16, {{0, k16}})},
      {"CrLfBreaks", Lines({DataRecord(0x0000, k16), DataRecord(0x0010, k16)}, "\r\n"),
       Image(32, {{0, k16}, {16, k16}})},
      {"CrBreaks", Lines({DataRecord(0x0000, k16), DataRecord(0x0010, k16)}, "\r"), Image(32, {{0, k16}, {16, k16}})},
      {"NoBreakAfterLastLine", DataRecord(0x0000, k16) + "\n" + DataRecord(0x0010, {1, 2, 3}),
       Image(19, {{0, k16}, {16, {1, 2, 3}}})},
      {"NulEndsTheText", DataRecord(0x0000, k16) + "\n" + std::string(1, '\0') + DataRecord(0x0010, k16) + "\n",
       Image(16, {{0, k16}})},
      {"EmptyFile", "", {}},
      {"OnlyEndRecord", Lines({":00000001FF"}), {}},
      // The image is written in blocks of 1 MiB: a record going back into a block already in the file,
      // and one that straddles the file and the block still waiting.
      {"BackwardsIntoBlockAlreadyWritten",
       Lines({Record(0x04, 0, {0x00, 0x20}), DataRecord(0x0000, k16), Record(0x04, 0, {0x00, 0x00}),
              DataRecord(0x0010, Counting(16, 0))}),
       Image(0x200010, {{0x10, Counting(16, 0)}, {0x200000, k16}})},
      {"BackwardsAcrossEndOfBlockAlreadyWritten",
       Lines({Record(0x04, 0, {0x00, 0x10}), DataRecord(0x0100, k16), Record(0x04, 0, {0x00, 0x0F}),
              DataRecord(0xFFF8, Counting(16, 0))}),
       Image(0x100110, {{0xFFFF8, Counting(16, 0)}, {0x100100, k16}})},
  };
  // Every data record is written whatever its byte count: the short last line of a file, the long ones.
  for (unsigned count : {0x01u, 0x08u, 0x0Fu, 0x10u, 0x1Fu, 0x20u, 0x2Fu, 0x30u, 0xFFu}) {
    char name[32];
    std::snprintf(name, sizeof name, "ByteCount%02X", count);
    TBytes data = Counting(count, 1);
    cases.push_back({name, Lines({DataRecord(0x0008, data), ":00000001FF"}), Image(8 + count, {{8, data}})});
  }
  return cases;
}

void PrintTo(const TImageCase& Case, std::ostream* Out) { *Out << Case.Name; }

class TImageCaseTest : public TWorkDirTest, public ::testing::WithParamInterface<TImageCase> {};

TEST_P(TImageCaseTest, ImageHoldsEachByteAtItsAddress) {
  WriteFile("fw.hex", GetParam().Hex);
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  TBytes image = ReadBytes("fw.BIN");
  ASSERT_EQ(image.size(), GetParam().Expected.size());
  // Compare as a whole but report the first differing address, not a dump of megabytes.
  auto diff = std::mismatch(image.begin(), image.end(), GetParam().Expected.begin());
  EXPECT_TRUE(diff.first == image.end()) << "first difference at address 0x" << std::hex
                                         << (diff.first - image.begin());
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, TImageCaseTest, ::testing::ValuesIn(ImageCases()),
                         [](const auto& info) { return info.param.Name; });
// clang-format on

// ---- Files that stop the conversion ----

struct TFailureCase {
  std::string Name;
  std::string Hex;
  std::string Message;
  TBytes ImageLeft;  // what the image file holds afterwards: everything placed before the failing field
};

std::vector<TFailureCase> FailureCases() {
  const std::string good = DataRecord(0x0010, Counting(4, 1));  // :04001000 01020304 ..
  return {
      {"DataByteNotHex", Lines({Patch(good, 13, "G1")}), "'$G1' is not a valid integer value",
       Image(0x12, {{0x10, {1, 2}}})},
      {"LoadAddressNotHex", Lines({Patch(good, 5, "G")}), "'$00G0' is not a valid integer value", {}},
      {"SpaceInLoadAddress", Lines({Patch(good, 5, " ")}), "'$00 0' is not a valid integer value", {}},
      {"ByteCountNotHex", Lines({Patch(good, 2, "G")}), "'$0G' is not a valid integer value", Image(0x10, {})},
      {"SegmentNotHex", Lines({":02000002G000EC"}), "'$G0000' is not a valid integer value", {}},
      {"LinearAddressNotHex", Lines({":020000040G01F9"}), "'$0G010000' is not a valid integer value", {}},
      {"DataEndsBeforeLastByte", Lines({DataRecord(0, k16), DataRecord(0x10, k16).substr(0, 40)}),
       "Line 2 of the HEX file is too short for its record", Image(16, {{0, k16}})},
      {"DataEndsInsideLastByte", Lines({DataRecord(0x10, k16).substr(0, 40)}),
       "Line 1 of the HEX file is too short for its record", Image(0x10, {})},
      {"OnlyColonAndByteCount", Lines({":10"}), "Line 1 of the HEX file is too short for its record", {}},
      {"IndentedRecordKeepsItsLineNumber",
       "\xEF\xBB\xBF" + Lines({"", "  :10"}),
       "Line 2 of the HEX file is too short for its record",
       {}},
      {"ExtendedAddressWithoutValue", Lines({":02000004"}), "Line 1 of the HEX file is too short for its record", {}},
      {"LineNumbersCountCrLfOnce",
       Lines({":00000001FF", "", ":10"}, "\r\n"),
       "Line 3 of the HEX file is too short for its record",
       {}},
      {"OverlapInsideEarlierRecord", Lines({DataRecord(0x10, k16), DataRecord(0x18, k16)}),
       "Line 2 of the HEX file overlaps data already written at address 0x00000018", Image(0x20, {{0x10, k16}})},
      {"OverlapReachingIntoEarlierRecord", Lines({DataRecord(0x20, k16), DataRecord(0x18, k16)}),
       "Line 2 of the HEX file overlaps data already written at address 0x00000020", Image(0x30, {{0x20, k16}})},
      {"SameRecordTwice", Lines({DataRecord(0x10, k16), ":00000001FF", DataRecord(0x10, k16)}),
       "Line 3 of the HEX file overlaps data already written at address 0x00000010", Image(0x20, {{0x10, k16}})},
      {"OverlapAfterGapBetweenTwoRecordsIsFilled",
       Lines({DataRecord(0x00, k16), DataRecord(0x20, k16), DataRecord(0x10, k16), DataRecord(0x2F, {1})}),
       "Line 4 of the HEX file overlaps data already written at address 0x0000002F",
       Image(0x30, {{0x00, k16}, {0x10, k16}, {0x20, k16}})},
      {"OverlapAcrossBaseRecords",
       Lines({":020000040001F9", DataRecord(0x0000, k16), ":020000040000FA", DataRecord(0xFFF8, k16)}),
       "Line 4 of the HEX file overlaps data already written at address 0x00010000", Image(0x10010, {{0x10000, k16}})},
  };
}

void PrintTo(const TFailureCase& Case, std::ostream* Out) { *Out << Case.Name; }

class TFailureCaseTest : public TWorkDirTest, public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(TFailureCaseTest, StopsWithMessageAndKeepsWhatWasPlaced) {
  WriteFile("fw.hex", GetParam().Hex);
  try {
    HexToBin("fw.hex");
    FAIL() << "converted without an error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().Message);
  }
  EXPECT_EQ(ReadBytes("fw.BIN"), GetParam().ImageLeft);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, TFailureCaseTest, ::testing::ValuesIn(FailureCases()),
                         [](const auto& info) { return info.param.Name; });
// clang-format on

}  // namespace
}  // namespace hexloader::test
