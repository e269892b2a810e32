// The progress arithmetic: percentages with halves to even, clamping, and when a change is reported.
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "upload/progress_parts.h"

namespace hexloader {
namespace {

struct TPercentCase {
  const char* Name;
  std::uint32_t Total;
  std::vector<std::uint32_t> Parts;
  std::vector<std::uint16_t> Percents;
};
void PrintTo(const TPercentCase& C, std::ostream* Out) { *Out << C.Name; }

class PercentSteps : public ::testing::TestWithParam<TPercentCase> {};

TEST_P(PercentSteps, EachStepShowsItsRoundedPercentage) {
  const TPercentCase& C = GetParam();
  TProgressParts Bar;
  Bar.SetTotalParts(C.Total);
  for (std::size_t i = 0; i < C.Parts.size(); ++i) {
    Bar.SetPartsComplete(C.Parts[i]);
    EXPECT_EQ(Bar.Percent(), C.Percents[i]) << "at " << C.Parts[i] << " of " << C.Total;
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, PercentSteps,
    ::testing::Values(
        TPercentCase{"EighthsRoundHalfToEven", 8, {1, 2, 3, 4, 5, 6, 7, 8}, {12, 25, 38, 50, 62, 75, 88, 100}},
        TPercentCase{"Thirds", 3, {1, 2, 3}, {33, 67, 100}},
        TPercentCase{"ClampedAtTheTotal", 8, {10, 10}, {100, 100}},
        TPercentCase{"NoTotalKeepsZero", 0, {1, 5}, {0, 0}},
        TPercentCase{"LargestTotal", 2147483647u, {1073741824u, 2147483647u}, {50, 100}},
        // Halves that binary fractions do not hold exactly: 57.5 and 54.5.
        TPercentCase{"HalfOfFortiethsToEven", 40, {23}, {58}},
        TPercentCase{"HalfOfTwoHundredthsToEven", 200, {109}, {54}},
        TPercentCase{"UploadOf511Parts", 511, {1, 256, 511, 512}, {0, 50, 100, 100}}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(ProgressParts, ReportsOnlyPercentagesThatChange) {
  TProgressParts Bar;
  std::vector<std::uint16_t> Reported;
  Bar.SetOnChange([&](std::uint16_t P) { Reported.push_back(P); });
  Bar.SetTotalParts(1000);
  for (std::uint32_t i = 1; i <= 1001; ++i) Bar.SetPartsComplete(i);
  ASSERT_EQ(Reported.size(), 100u) << "one report per distinct percentage";
  EXPECT_EQ(Reported.front(), 1);
  EXPECT_EQ(Reported.back(), 100);
}

TEST(ProgressParts, SameTotalKeepsTheBarANewTotalResetsIt) {
  TProgressParts Bar;
  Bar.SetTotalParts(8);
  Bar.SetPartsComplete(4);
  Bar.SetTotalParts(8);
  EXPECT_EQ(Bar.PartsComplete(), 4u);
  EXPECT_EQ(Bar.Percent(), 50);
  Bar.SetTotalParts(9);
  EXPECT_EQ(Bar.PartsComplete(), 0u);
  EXPECT_EQ(Bar.Percent(), 0);
}

TEST(ProgressParts, AfterAFinishedUploadTheNextStartComesBackAtZero) {
  TProgressParts Bar;
  Bar.SetTotalParts(2);
  Bar.SetPartsComplete(3);  // the final short frame, clamped
  EXPECT_EQ(Bar.Percent(), 100);
  Bar.SetTotalParts(2);  // the same image again
  Bar.SetPartsComplete(0);
  EXPECT_EQ(Bar.Percent(), 0);
}

TEST(ProgressParts, WhileBuildingSettersOnlyStore) {
  TProgressParts Bar;
  int Reports = 0;
  Bar.SetOnChange([&](std::uint16_t) { ++Reports; });
  Bar.SetBuilding(true);
  Bar.SetTotalParts(4);
  Bar.SetPartsComplete(2);
  EXPECT_EQ(Bar.PartsComplete(), 2u);
  EXPECT_EQ(Bar.Percent(), 0);
  EXPECT_EQ(Reports, 0);
}

struct TFillCase {
  const char* Name;
  std::uint16_t Percent;
  int Width;
  int Filled;
};
void PrintTo(const TFillCase& C, std::ostream* Out) { *Out << C.Name; }

class FilledWidth : public ::testing::TestWithParam<TFillCase> {};

TEST_P(FilledWidth, RoundsHalfToEvenAndFillsAtHundred) {
  EXPECT_EQ(TProgressParts::FilledWidth(GetParam().Percent, GetParam().Width), GetParam().Filled);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FilledWidth,
                         ::testing::Values(TFillCase{"Empty", 0, 291, 0}, TFillCase{"Full", 100, 291, 291},
                                           TFillCase{"OverFull", 150, 291, 291},
                                           TFillCase{"HalfRoundsToEvenDown", 50, 5, 2},
                                           TFillCase{"HalfRoundsToEvenUp", 50, 7, 4},
                                           TFillCase{"AboveHalfRoundsUp", 33, 291, 96}),
                         [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

}  // namespace
}  // namespace hexloader
