// The pure line rules of the profile file.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "ui/settings/profile_lines.h"

namespace hexloader::profile {
namespace {

using Lines = std::vector<std::string>;

struct TWriteCase {
  const char* Label;
  Lines Before;
  std::string Section, Key, Value;
  Lines After;
};
void PrintTo(const TWriteCase& c, std::ostream* os) { *os << c.Label; }

class ProfileWrite : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(ProfileWrite, KeepsEverythingElse) {
  const TWriteCase& c = GetParam();
  EXPECT_EQ(WithValue(c.Before, c.Section, c.Key, c.Value), c.After);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWrite,
    ::testing::Values(
        TWriteCase{"EmptyFileGetsSectionAndKey", {}, "PortName", "Name", "ttyUSB0", {"[PortName]", "Name=ttyUSB0"}},
        TWriteCase{"ExistingKeyReplacedInItsOwnSpelling",
                   {"; comment", "[portname]", "NAME=ttyS0", "Other=1"},
                   "PortName", "Name", "ttyUSB0",
                   {"; comment", "[portname]", "NAME=ttyUSB0", "Other=1"}},
        TWriteCase{"NewKeyBeforeBlankSeparator",
                   {"[PortName]", "Baud=1", "", "[FileName]", "Name=/a.hex"},
                   "PortName", "Name", "ttyUSB0",
                   {"[PortName]", "Baud=1", "Name=ttyUSB0", "", "[FileName]", "Name=/a.hex"}},
        TWriteCase{"SameKeyInOtherSectionUntouched",
                   {"[FileName]", "Name=/a.hex"},
                   "PortName", "Name", "ttyS1",
                   {"[FileName]", "Name=/a.hex", "[PortName]", "Name=ttyS1"}},
        TWriteCase{"CommentedKeyIsNotTheKey",
                   {"[PortName]", ";Name=old"},
                   "PortName", "Name", "new",
                   {"[PortName]", ";Name=old", "Name=new"}}),
    [](const ::testing::TestParamInfo<TWriteCase>& info) { return std::string(info.param.Label); });
// clang-format on

struct TValueCase {
  const char* Label;
  const char* Line;
  std::optional<std::string> Value;  // none: the line holds no key
};
void PrintTo(const TValueCase& c, std::ostream* os) { *os << c.Label; }

class ProfileValue : public ::testing::TestWithParam<TValueCase> {};

TEST_P(ProfileValue, IsTrimmedAndUnquoted) {
  const auto key = KeyLine(GetParam().Line);
  ASSERT_EQ(key.has_value(), GetParam().Value.has_value());
  if (key) {
    EXPECT_EQ(key->Value, *GetParam().Value);
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Lines, ProfileValue,
    ::testing::Values(TValueCase{"BlanksAroundTrimmed", "  Name =  ttyUSB0  ", "ttyUSB0"},
                      TValueCase{"DoubleQuotesRemoved", "Name=\"/with space/a.hex\"", "/with space/a.hex"},
                      TValueCase{"SingleQuotesRemoved", "Name='/a b.hex'", "/a b.hex"},
                      TValueCase{"OnlyOnePairRemoved", "Name=''a''", "'a'"},
                      TValueCase{"QuotesThatDoNotMatchKept", "Name='a.hex\"", "'a.hex\""},
                      TValueCase{"ALoneQuoteKept", "Name=\"", "\""},
                      TValueCase{"EqualsSignInTheValue", "Name=a=b", "a=b"},
                      TValueCase{"CommentIsNoKey", "; Name=x", std::nullopt},
                      TValueCase{"NoEqualsSignIsNoKey", "no equals sign", std::nullopt}),
    [](const ::testing::TestParamInfo<TValueCase>& info) { return std::string(info.param.Label); });
// clang-format on

TEST(ProfileLines, CutNeverSplitsUtf8Sequence) {
  EXPECT_EQ(CutUtf8("abcdef", 4), "abcd");
  EXPECT_EQ(CutUtf8("ab\xD0\x9F", 3), "ab");  // Cyrillic П is two bytes
  EXPECT_EQ(CutUtf8("ab\xD0\x9F", 4), "ab\xD0\x9F");
  EXPECT_EQ(CutUtf8("short", 2047), "short");
}

}  // namespace
}  // namespace hexloader::profile
