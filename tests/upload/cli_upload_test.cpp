// hexloader-cli upload against the simulated device, as scripts run it: exit status, messages, the
// device's memory, and the plain progress lines when standard output is not a terminal.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

struct TCliCase {
  const char* Name;
  std::size_t ImageSize;
  std::vector<std::string> SimArgs;
  std::vector<std::string> CliArgs;
  int ExitStatus;
  const char* ErrorText;  // must appear on standard error; "" = standard error stays empty
  bool MemoryWritten;
};
void PrintTo(const TCliCase& C, std::ostream* Out) { *Out << C.Name; }


class CliUpload : public ::testing::TestWithParam<TCliCase> {};

TEST_P(CliUpload, EndsWithItsStatusAndMessage) {
  const TCliCase& C = GetParam();
  TTempDir Dir;
  const std::vector<std::uint8_t> Image = PatternImage(C.ImageSize);
  WriteIntelHex(Dir.File("fw.hex"), Image);
  std::vector<std::string> SimArgs = {"--once", "--hello-delay", "0", "--memory", Dir.File("memory.bin")};
  SimArgs.insert(SimArgs.end(), C.SimArgs.begin(), C.SimArgs.end());
  TSimProcess Sim(SimArgs);

  std::vector<std::string> Args = {CliPath(), "upload", "--port", Sim.PortPath(), "fw.hex"};
  Args.insert(Args.end(), C.CliArgs.begin(), C.CliArgs.end());
  std::string Out, Err;
  EXPECT_EQ(RunProgram(Args, &Out, &Err, Dir.Path()), C.ExitStatus) << Err;
  if (*C.ErrorText) EXPECT_NE(Err.find(C.ErrorText), std::string::npos) << Err;
  else EXPECT_EQ(Err, "");

  const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("memory.bin"));
  if (!C.MemoryWritten) {
    EXPECT_TRUE(Memory.empty());
    return;
  }
  ASSERT_GE(Memory.size(), Image.size());
  EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin())) << "the device's memory differs from the image";
  EXPECT_EQ(Out.rfind("Включи питание\n", 0), 0u) << Out;
  EXPECT_LE(std::count(Out.begin(), Out.end(), '\n'), 7) << "a few progress lines, not one per frame:\n" << Out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUpload,
    ::testing::Values(
        TCliCase{"Uploads", 65535, {}, {}, 0, "", true},
        TCliCase{"LastFramePartlyFilled", 600, {}, {}, 0, "", true},
        TCliCase{"EmptyImage", 0, {}, {}, 0, "", true},
        TCliCase{"WrongReplyIsStatus2", 1000, {"--wrong-reply-at", "4"}, {}, 2, "Ошибка ответа", false},
        TCliCase{"SilenceWithTimeoutIsStatus3", 1000, {"--silent-from", "3"}, {"--timeout", "1"}, 3, "no answer", false},
        TCliCase{"ImageTooLargeIsRefused", 65536, {}, {}, 1, "65536", false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(CliUploadRefusals, ABadPortIsAPortErrorWithStatus1) {
  TTempDir Dir;
  WriteIntelHex(Dir.File("fw.hex"), PatternImage(100));
  std::string Out, Err;
  EXPECT_EQ(RunProgram({CliPath(), "upload", "--port", Dir.File("no-such-port"), "fw.hex"}, &Out, &Err, Dir.Path()), 1);
  EXPECT_NE(Err.find("hexloader-cli: "), std::string::npos) << Err;
}

TEST(CliUploadRefusals, AMissingHexFileIsStatus1) {
  TTempDir Dir;
  std::string Out, Err;
  EXPECT_EQ(RunProgram({CliPath(), "upload", "--port", "/dev/null", "none.hex"}, &Out, &Err, Dir.Path()), 1);
  EXPECT_NE(Err.find("Cannot open file"), std::string::npos) << Err;
}

TEST(CliUploadRefusals, MissingArgumentsShowTheUsage) {
  std::string Out, Err;
  EXPECT_EQ(RunProgram({CliPath(), "upload", "fw.hex"}, &Out, &Err), 1);
  EXPECT_NE(Err.find("--port"), std::string::npos) << Err;
}

}  // namespace
}  // namespace hexloader::test
