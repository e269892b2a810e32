// The reply time-out as the settings file and the command line give it.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "upload/reply_timeout.h"
#include "upload/upload_session.h"

namespace hexloader {
namespace {

struct TSettingCase {
  const char* Name;
  std::string Text;
  int Ms;
};
void PrintTo(const TSettingCase& C, std::ostream* Out) { *Out << C.Name; }

class ReplyTimeoutSetting : public ::testing::TestWithParam<TSettingCase> {};

TEST_P(ReplyTimeoutSetting, GivesMillisecondsOrTheDefault) {
  EXPECT_EQ(ReplyTimeoutMsFromSetting(GetParam().Text), GetParam().Ms);
}

constexpr int kDefault = frame::DefaultReplyTimeoutMs;

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Texts, ReplyTimeoutSetting,
    ::testing::Values(TSettingCase{"Missing", "", kDefault}, TSettingCase{"Plain", "1500", 1500},
                      TSettingCase{"BlanksAround", " 2500\r", 2500}, TSettingCase{"Zero", "0", kDefault},
                      TSettingCase{"Negative", "-100", kDefault}, TSettingCase{"NotANumber", "fast", kDefault},
                      TSettingCase{"TrailingJunk", "1500ms", kDefault}, TSettingCase{"Fraction", "1.5", kDefault},
                      TSettingCase{"BeyondInt", "99999999999", kDefault}, TSettingCase{"Largest", "2147483647", 2147483647}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

struct TSecondsCase {
  const char* Name;
  const char* Text;
  bool Accepted;
  int Ms;
};
void PrintTo(const TSecondsCase& C, std::ostream* Out) { *Out << C.Name; }

class ReplyTimeoutSeconds : public ::testing::TestWithParam<TSecondsCase> {};

TEST_P(ReplyTimeoutSeconds, AcceptsPositiveSecondsOnly) {
  int Ms = -7;
  EXPECT_EQ(ParseReplyTimeoutSeconds(GetParam().Text, Ms), GetParam().Accepted);
  EXPECT_EQ(Ms, GetParam().Accepted ? GetParam().Ms : -7) << "a refused value leaves the time-out as it was";
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Texts, ReplyTimeoutSeconds,
    ::testing::Values(TSecondsCase{"Whole", "5", true, 5000}, TSecondsCase{"Fraction", "1.5", true, 1500},
                      TSecondsCase{"OneMillisecond", "0.001", true, 1}, TSecondsCase{"ADay", "86400", true, 86400000},
                      TSecondsCase{"Zero", "0", false, 0}, TSecondsCase{"BelowAMillisecond", "0.0004", false, 0},
                      TSecondsCase{"Negative", "-1", false, 0}, TSecondsCase{"Empty", "", false, 0},
                      TSecondsCase{"Unit", "5s", false, 0}, TSecondsCase{"Exponent", "1e3", false, 0},
                      TSecondsCase{"TwoPoints", "1.2.3", false, 0}, TSecondsCase{"MoreThanADay", "86401", false, 0}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

}  // namespace
}  // namespace hexloader
