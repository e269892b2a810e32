#include "core/exception_display.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/exception.h"

namespace hexloader {
namespace {

struct FullStopCase {
  const char* name;
  std::string message;
  std::string shown;
};

class ExceptionDisplayText_ : public testing::TestWithParam<FullStopCase> {};

TEST_P(ExceptionDisplayText_, AppendsFullStopByLastCharacterCode) {
  EXPECT_EQ(ExceptionDisplayText(GetParam().message), GetParam().shown);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ExceptionDisplayText_,
    testing::Values(FullStopCase{"Empty", "", ""}, FullStopCase{"Letter", "Unable to write to x", "Unable to write to x."},
                    FullStopCase{"EndsInFullStop", "Done.", "Done."},
                    FullStopCase{"EndsInSpaceBelowFullStop", "trailing ", "trailing "},
                    FullStopCase{"EndsInQuote", "Cannot open file \"a\"", "Cannot open file \"a\""},
                    FullStopCase{"EndsInCyrillic", "Ошибка ответа", "Ошибка ответа."}),
    [](const testing::TestParamInfo<FullStopCase>& i) { return std::string(i.param.name); });
// clang-format on

TEST(ShowException, HookGetsMessageAndAbortIsIgnored) {
  std::vector<std::string> shown;
  SetExceptionDisplay([&](const std::string& m) { shown.push_back(m); });
  ShowException(std::make_exception_ptr(EAbort("silent")));
  ShowException(std::make_exception_ptr(std::runtime_error("boom")));
  ShowException(nullptr);
  SetExceptionDisplay(nullptr);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "boom");
}

}  // namespace
}  // namespace hexloader
