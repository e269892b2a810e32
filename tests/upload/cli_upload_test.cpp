// hexloader-cli upload against the simulated device, as scripts run it: exit status, messages, the
// device's memory, and the plain progress lines when standard output is not a terminal.
#include <algorithm>
#include <filesystem>
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
  std::size_t Messages = 0;
  for (std::size_t At = Err.find("hexloader-cli: "); At != std::string::npos; At = Err.find("hexloader-cli: ", At + 1))
    ++Messages;
  EXPECT_EQ(Messages, C.ExitStatus == 0 ? 0u : 1u) << "one message for a failure:\n" << Err;

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

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, CliUpload,
    ::testing::Values(
        TCliCase{"Uploads", 65535, {}, {}, 0, "", true},
        TCliCase{"LastFramePartlyFilled", 600, {}, {}, 0, "", true},
        // The window keeps the exchange for an empty image; a production line would only record boards
        // programmed with nothing as good.
        TCliCase{"EmptyImageIsRefused", 0, {}, {}, 1, "fw.hex: no data records", false},
        TCliCase{"WrongReplyIsStatus2", 1000, {"--wrong-reply-at", "4"}, {}, 2, "Ошибка ответа", false},
        // --timeout bounds the wait for the hello only; the reply time-out bounds the transfer.
        TCliCase{"NoHelloWithinTimeoutIsStatus3", 1000, {"--hello-delay", "600000"}, {"--timeout", "1"}, 3, "no answer", false},
        TCliCase{"SilentDeviceIsStatus3", 1000, {"--silent-from", "3"}, {"--reply-timeout", "1"}, 3,
                 "hexloader-cli: Устройство не отвечает\n", false},
        TCliCase{"SilentDeviceWithTheDefaultReplyTimeout", 1000, {"--silent-from", "4"}, {}, 3, "Устройство не отвечает", false},
        TCliCase{"LostDeviceIsStatus1", 1000, {"--hangup-at", "3"}, {}, 1, "(5), Input/output error", false},
        TCliCase{"SlowDeviceWithinTheReplyTimeoutSucceeds", 200, {"--reply-delay", "1500"}, {"--timeout", "1"}, 0, "", true},
        TCliCase{"ImageTooLargeIsRefused", 65536, {}, {}, 1, "65536", false},
        // A USB adapter's latency timer: the replies come in bursts, whole exchanges or pieces of them.
        TCliCase{"BurstsOfAUsbAdapter", 2000, {"--usb-latency", "16"}, {}, 0, "", true},
        TCliCase{"BurstsOfAUsbAdapterOnAPacedLine", 2000, {"--usb-latency", "16", "--bit-rate", "19200"}, {}, 0, "", true},
        TCliCase{"WrongReplyInABurstIsStatus2", 1000, {"--usb-latency", "16", "--wrong-reply-at", "4"}, {}, 2,
                 "Ошибка ответа", false},
        // Devices faster than the 19200 bit/s the port is opened at: their own pace, the same results.
        TCliCase{"DeviceFasterThanItsLine", 4000, {"--bit-rate", "230400"}, {}, 0, "", true},
        TCliCase{"UsbCdcDevice", 4000, {"--usb-cdc", "1"}, {}, 0, "", true},
        TCliCase{"WrongReplyFromAUsbCdcDeviceIsStatus2", 1000, {"--usb-cdc", "1", "--wrong-reply-at", "4"}, {}, 2,
                 "Ошибка ответа", false},
        TCliCase{"SilentFastDeviceIsStatus3", 1000, {"--bit-rate", "230400", "--silent-from", "3"}, {"--reply-timeout", "1"}, 3,
                 "hexloader-cli: Устройство не отвечает\n", false}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

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
  EXPECT_EQ(Err, "hexloader-cli: Cannot open file \"" + Dir.File("none.hex") + "\". No such file or directory.\n")
      << "the message names the file the user gave";
}

// Without a terminal the display ends with a line at 100 % once the end frame went out, whatever the
// window's bar shows for the image's size (an image below 128 bytes has no parts there).
struct TFinalLineCase {
  const char* Name;
  std::size_t ImageSize;
  const char* FinalLine;
};
void PrintTo(const TFinalLineCase& C, std::ostream* Out) { *Out << C.Name; }

class CliUploadDisplay : public ::testing::TestWithParam<TFinalLineCase> {};

TEST_P(CliUploadDisplay, EndsAtOneHundredPercent) {
  const TFinalLineCase& C = GetParam();
  TTempDir Dir;
  WriteIntelHex(Dir.File("fw.hex"), PatternImage(C.ImageSize));
  TSimProcess Sim({"--once", "--hello-delay", "0"});
  std::string Out, Err;
  ASSERT_EQ(RunProgram({CliPath(), "upload", "--port", Sim.PortPath(), "fw.hex"}, &Out, &Err, Dir.Path()), 0) << Err;
  const std::string Complete = "Upload complete:";
  const std::size_t At = Out.rfind(Complete);
  ASSERT_NE(At, std::string::npos) << Out;
  const std::size_t LineStart = Out.rfind('\n', At - 2) == std::string::npos ? 0 : Out.rfind('\n', At - 2) + 1;
  EXPECT_EQ(Out.substr(LineStart, At - LineStart), std::string(C.FinalLine) + "\n") << Out;
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Sizes, CliUploadDisplay,
    ::testing::Values(TFinalLineCase{"BelowOneFrame", 100, "upload: 100% (frame 1 of 1, 100 of 100 bytes)"},
                      TFinalLineCase{"ThreeFrames", 300, "upload: 100% (frame 3 of 3, 300 of 300 bytes)"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// A damaged file: one warning and the upload goes on, or with --strict nothing written or sent.
class CliUploadChecksums : public ::testing::TestWithParam<bool> {};

TEST_P(CliUploadChecksums, WarnOrRefuseWithStrict) {
  const bool Strict = GetParam();
  TTempDir Dir;
  const std::vector<std::uint8_t> Image = PatternImage(200);
  WriteIntelHex(Dir.File("fw.hex"), Image);
  std::vector<std::uint8_t> Hex = ReadFile(Dir.File("fw.hex"));
  const auto SecondLineEnd = std::find(std::find(Hex.begin(), Hex.end(), '\n') + 1, Hex.end(), '\n');
  SecondLineEnd[-1] = SecondLineEnd[-1] == '0' ? '1' : '0';  // the second record's checksum
  WriteFile(Dir.File("fw.hex"), Hex);
  TSimProcess Sim({"--once", "--hello-delay", "0", "--memory", Dir.File("memory.bin")});

  std::vector<std::string> Args = {CliPath(), "upload", "--port", Sim.PortPath(), "fw.hex"};
  if (Strict) Args.push_back("--strict");
  std::string Out, Err;
  const int Status = RunProgram(Args, &Out, &Err, Dir.Path());
  if (Strict) {
    EXPECT_EQ(Status, 1);
    EXPECT_EQ(Err, "hexloader-cli: 1 record has a wrong checksum (line 2); refused (--strict)\n");
    EXPECT_EQ(Out, "") << "not even the power-on prompt";
    EXPECT_FALSE(std::filesystem::exists(Dir.File("fw.BIN")));
    Sim.Stop();
    EXPECT_TRUE(ReadFile(Dir.File("memory.bin")).empty()) << "nothing was sent";
  } else {
    EXPECT_EQ(Status, 0) << Err;
    EXPECT_EQ(Err, "warning: 1 record has a wrong checksum (line 2); converted as they are\n");
    Sim.Wait();
    const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("memory.bin"));
    ASSERT_GE(Memory.size(), Image.size());
    EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin()));
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Modes, CliUploadChecksums, ::testing::Bool(),
                         [](const auto& Info) { return std::string(Info.param ? "Strict" : "Lenient"); });
// clang-format on

TEST(CliUploadRefusals, MissingArgumentsShowTheUsage) {
  std::string Out, Err;
  EXPECT_EQ(RunProgram({CliPath(), "upload", "fw.hex"}, &Out, &Err), 1);
  EXPECT_NE(Err.find("--port"), std::string::npos) << Err;
}

class CliUploadBadReplyTimeout : public ::testing::TestWithParam<const char*> {};

TEST_P(CliUploadBadReplyTimeout, IsRefusedWithTheUsage) {
  std::string Out, Err;
  EXPECT_EQ(
      RunProgram({CliPath(), "upload", "--port", "/dev/null", "--reply-timeout", GetParam(), "fw.hex"}, &Out, &Err), 1);
  EXPECT_NE(Err.find("--reply-timeout"), std::string::npos) << Err;
}

INSTANTIATE_TEST_SUITE_P(Values, CliUploadBadReplyTimeout, ::testing::Values("0", "-1", "abc", "1s", "", "0.0001"));

}  // namespace
}  // namespace hexloader::test
