// hexloader-cli against the 8051 device program running in s51 (hexloader-sim --s51): a real CPU, a
// real UART model at 19,200 bit/s and the device program's own timing at the far end. Also how the tool
// starts, refuses and ends, and that it never leaves s51 running. These tests run one at a time: s51
// takes a whole core.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/upload/held_port.h"
#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/s51_device.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

constexpr std::size_t DeviceMemorySize = 65536;

struct TUploadCase {
  const char* Name;
  std::size_t ImageSize;
  bool WrongReplyBuild;  // the device program built to answer frame 4 wrongly
  int CliStatus;
  const char* CliError;  // on the loader's standard error; "" = none
  int SimStatus;
  const char* SimError;  // on the simulator's standard error; "" = none
  int BaudRate = 19200;  // the device program's build and the loader's --baud
};
void PrintTo(const TUploadCase& C, std::ostream* Out) { *Out << C.Name; }

class S51Upload : public ::testing::TestWithParam<TUploadCase> {};

TEST_P(S51Upload, EndsWithItsStatusesAndTheDevicesMemory) {
  const TUploadCase& C = GetParam();
  TTempDir Dir;
  const std::vector<std::uint8_t> Image = PatternImage(C.ImageSize);
  WriteIntelHex(Dir.File("fw.hex"), Image);
  const std::string Program = C.WrongReplyBuild     ? WrongReplyDeviceProgram()
                              : C.BaudRate == 57600 ? DeviceProgramAt57600()
                                                    : DeviceProgram();
  TS51Device Device(Dir.Path(), Program, {"--once", "--memory", Dir.File("memory.bin")});

  std::string Out, Err;
  // The time-out only keeps a broken device from hanging the test.
  EXPECT_EQ(RunProgram({CliPath(), "upload", "--port", Device.PortPath(), "--timeout", "120", "--baud",
                        std::to_string(C.BaudRate), "fw.hex"},
                       &Out, &Err, Dir.Path()),
            C.CliStatus)
      << Err;
  if (*C.CliError) EXPECT_NE(Err.find(C.CliError), std::string::npos) << Err;
  else EXPECT_EQ(Err, "");

  EXPECT_EQ(Device.Wait(), C.SimStatus) << Device.Errors();
  if (*C.SimError) EXPECT_NE(Device.Errors().find(C.SimError), std::string::npos) << Device.Errors();
  else EXPECT_EQ(Device.Errors(), "");
  EXPECT_TRUE(NoProcessRunningWith(Device.Firmware())) << "s51 is still running";

  if (C.SimStatus != 0) {
    EXPECT_FALSE(std::filesystem::exists(Dir.File("memory.bin"))) << "memory written by a device that did not finish";
    return;
  }
  EXPECT_EQ(DeviceMemoryDifference(ReadFile(Dir.File("memory.bin")), Image), "");
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, S51Upload,
    ::testing::Values(
        // The smallest image the command line sends: it refuses one without data.
        TUploadCase{"OneByteImage", 1, false, 0, "", 0, ""},
        TUploadCase{"Image1000Bytes", 1000, false, 0, "", 0, ""},
        TUploadCase{"LargestImage", 65535, false, 0, "", 0, ""},
        // Sync, address, data 1, then data 2 answered wrongly; the loader closes the port, which
        // switches the device off before the end frame.
        TUploadCase{"WrongReplyToTheSecondDataFrame", 1000, true, 2, "Ошибка ответа", 1, "the device did not finish"},
        // The device program built for 57,600 bit/s, the loader told the same.
        TUploadCase{"FasterLine57600", 4000, false, 0, "", 0, "", 57600}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// The memory file appears a moment after the loader has ended: once the device program has finished.
bool WaitForMemoryFile(const std::string& Path) {
  const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::error_code Error;
  while (std::filesystem::file_size(Path, Error) != DeviceMemorySize || Error) {
    if (std::chrono::steady_clock::now() > Until) return false;
    ::usleep(10000);
  }
  return true;
}

TEST(S51Device, IsSwitchedOnAgainWhenThePortIsOpenedAgain) {
  TTempDir Dir;
  TS51Device Device(Dir.Path(), DeviceProgram(), {"--memory", Dir.File("memory.bin")});
  for (std::size_t Size : {300u, 700u}) {
    const std::vector<std::uint8_t> Image = PatternImage(Size);
    WriteIntelHex(Dir.File("fw.hex"), Image);
    std::filesystem::remove(Dir.File("memory.bin"));
    std::string Out, Err;
    ASSERT_EQ(RunProgram({CliPath(), "upload", "--port", Device.PortPath(), "--timeout", "120", "fw.hex"}, &Out, &Err,
                         Dir.Path()),
              0)
        << Err << Device.Errors();
    ASSERT_TRUE(WaitForMemoryFile(Dir.File("memory.bin"))) << Device.Errors();
    EXPECT_EQ(DeviceMemoryDifference(ReadFile(Dir.File("memory.bin")), Image), "") << Size << " bytes";
  }
  EXPECT_EQ(Device.Stop(), 0) << Device.Errors();
  EXPECT_TRUE(NoProcessRunningWith(Device.Firmware()));
}

struct TStopCase {
  const char* Name;
  int Signal;
  bool Once;
  int SimStatus;
};
void PrintTo(const TStopCase& C, std::ostream* Out) { *Out << C.Name; }

class S51DeviceStopped : public ::testing::TestWithParam<TStopCase> {};

TEST_P(S51DeviceStopped, TakesS51WithIt) {
  const TStopCase& C = GetParam();
  TTempDir Dir;
  std::vector<std::string> Args{"--hello-delay", "0"};
  if (C.Once) Args.push_back("--once");
  TS51Device Device(Dir.Path(), DeviceProgram(), Args);
  THeldPort Port(Device.PortPath());
  ASSERT_GE(Port.Fd, 0);
  ASSERT_EQ(Port.ReadByte(), 0x55);  // the device program is running
  ASSERT_TRUE(ProcessRunningWith(Device.Firmware()));

  ::kill(Device.Pid(), C.Signal);
  EXPECT_EQ(Device.Wait(), C.SimStatus) << Device.Errors();
  EXPECT_TRUE(NoProcessRunningWith(Device.Firmware())) << "s51 outlived hexloader-sim";
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Signals, S51DeviceStopped,
    ::testing::Values(TStopCase{"TerminatedEndsCleanly", SIGTERM, false, 0},
                      TStopCase{"TerminatedBeforeTheEndFrameFailsUnderOnce", SIGTERM, true, 1},
                      TStopCase{"KilledHexloaderSim", SIGKILL, false, 128 + SIGKILL}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

struct TRefusalCase {
  const char* Name;
  const char* Firmware;  // "device": the built device program; otherwise a file made from this text
  std::vector<std::string> Args;
  bool WithoutS51;  // PATH leads to no s51
  int Status;
  const char* Error;
};
void PrintTo(const TRefusalCase& C, std::ostream* Out) { *Out << C.Name; }

class S51Refusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(S51Refusal, SaysWhyAndEndsWithoutAPort) {
  const TRefusalCase& C = GetParam();
  TTempDir Dir;
  std::string Firmware = Dir.File("missing.ihx");
  if (std::string(C.Firmware) == "device") {
    Firmware = Dir.File("loader51.ihx");
    std::filesystem::copy_file(DeviceProgram(), Firmware);
  } else if (*C.Firmware) {
    Firmware = Dir.File("firmware.ihx");
    std::ofstream(Firmware) << C.Firmware;
  }
  std::vector<std::string> Args{"/usr/bin/env"};
  if (C.WithoutS51) Args.push_back("PATH=" + Dir.Path());
  Args.insert(Args.end(), {SimPath(), "--s51", Firmware});
  Args.insert(Args.end(), C.Args.begin(), C.Args.end());
  std::string Out, Err;
  EXPECT_EQ(RunProgram(Args, &Out, &Err), C.Status);
  EXPECT_EQ(Out, "") << "no port is announced";
  EXPECT_NE(Err.find(C.Error), std::string::npos) << Err;
  EXPECT_FALSE(ProcessRunningWith(Firmware));
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, S51Refusal,
    ::testing::Values(
        TRefusalCase{"S51NotInstalled", "device", {}, true, 1, "s51 is not installed"},
        TRefusalCase{"DeviceProgramMissing", "", {}, false, 1, "cannot read the device program"},
        TRefusalCase{"DeviceProgramNotIntelHex", "\x7f" "ELF not a hex file", {}, false, 1, "is not an Intel HEX file"},
        TRefusalCase{"FaultOptionOfTheBuiltInDevice", "device", {"--wrong-reply-at", "3"}, false, 2,
                     "--wrong-reply-at cannot be used with --s51"},
        TRefusalCase{"LinePacingOfTheBuiltInDevice", "device", {"--bit-rate", "19200"}, false, 2,
                     "--bit-rate cannot be used with --s51"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --link with --s51 keeps to the same rule as the built-in device: a file that is no link is kept.
TEST(S51Link, LinkOverAFileThatIsNoLinkIsRefusedAndTheFileKept) {
  TTempDir Dir;
  const std::string Firmware = Dir.File("loader51.ihx");
  std::filesystem::copy_file(DeviceProgram(), Firmware);
  std::ofstream(Dir.File("firmware.hex")) << ":00000001FF\n";
  std::string Out, Err;
  EXPECT_EQ(RunProgram({SimPath(), "--s51", Firmware, "--link", Dir.File("firmware.hex")}, &Out, &Err), 1);
  EXPECT_EQ(Out, "") << "no port is announced";
  EXPECT_NE(Err.find("is not a symbolic link"), std::string::npos) << Err;
  EXPECT_FALSE(std::filesystem::is_symlink(Dir.File("firmware.hex")));
  EXPECT_EQ(ReadFile(Dir.File("firmware.hex")).size(), 12u);
  EXPECT_FALSE(ProcessRunningWith(Firmware));
}

}  // namespace
}  // namespace hexloader::test
