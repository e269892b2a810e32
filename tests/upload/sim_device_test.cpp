// The simulated device itself: where it puts what it receives, how it numbers frames for its faults,
// and its clean exit.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"
#include "tools/sim/device_model.h"
#include "tools/sim/sim_options.h"

namespace hexloader::test {
namespace {

using sim::TDeviceAction;
using sim::TDeviceModel;
using sim::TFaults;

std::vector<std::uint8_t> DataFrame(std::uint16_t Address, std::uint8_t Fill) {
  std::vector<std::uint8_t> F(131, Fill);
  F[0] = 0x22;
  F[1] = static_cast<std::uint8_t>(Address >> 8);
  F[2] = static_cast<std::uint8_t>(Address);
  return F;
}

// Feeds a frame; returns the replies (and noise) the device put on the line for it.
std::vector<std::uint8_t> Feed(TDeviceModel& Device, const std::vector<std::uint8_t>& Frame) {
  std::vector<std::uint8_t> Out;
  for (std::uint8_t B : Frame) {
    const TDeviceAction A = Device.Receive(B);
    Out.insert(Out.end(), A.NoiseAfterEcho.begin(), A.NoiseAfterEcho.end());
    if (A.HasReply) Out.push_back(A.Reply);
  }
  return Out;
}

TEST(SimDevice, MemoryHoldsEachFrameAtItsAddressAndFFWhereNothingWasWritten) {
  TDeviceModel Device{TFaults{}};
  Device.PowerOn();
  EXPECT_EQ(Feed(Device, {0x55, 0x33, 0xCC}), std::vector<std::uint8_t>{0xAA});
  EXPECT_EQ(Feed(Device, DataFrame(0x0000, 0x01)), std::vector<std::uint8_t>{0x80});
  EXPECT_EQ(Feed(Device, DataFrame(0x0200, 0x02)), std::vector<std::uint8_t>{0x00});
  const std::vector<std::uint8_t> Memory = Device.Memory();
  ASSERT_EQ(Memory.size(), 0x280u);
  EXPECT_EQ(Memory[0x7F], 0x01);
  EXPECT_EQ(Memory[0x80], 0xFF);
  EXPECT_EQ(Memory[0x1FF], 0xFF);
  EXPECT_EQ(Memory[0x200], 0x02);
}

TEST(SimDevice, StrayBytesBetweenFramesAreIgnored) {
  TDeviceModel Device{TFaults{}};
  Device.PowerOn();
  EXPECT_TRUE(Feed(Device, {0x00, 0xAA, 0x13}).empty());
  EXPECT_EQ(Feed(Device, {0x11, 0x00, 0x80}), std::vector<std::uint8_t>{0xAA});
  EXPECT_EQ(Device.StrayBytes(), 3);
}

struct TSimFaultCase {
  const char* Name;
  TFaults Faults;
  std::vector<std::uint8_t> Out;  // what comes back for sync, address, address (frames 1..3)
};

void PrintTo(const TSimFaultCase& C, std::ostream* Out) { *Out << C.Name; }

class SimFault : public ::testing::TestWithParam<TSimFaultCase> {};

TEST_P(SimFault, StrikesAtItsFrameNumber) {
  TDeviceModel Device(GetParam().Faults);
  Device.PowerOn();
  std::vector<std::uint8_t> Out = Feed(Device, {0x55, 0x33, 0xCC});
  for (const auto& F : {std::vector<std::uint8_t>{0x11, 0, 0}, std::vector<std::uint8_t>{0x11, 0, 0x80}}) {
    const auto More = Feed(Device, F);
    Out.insert(Out.end(), More.begin(), More.end());
  }
  EXPECT_EQ(Out, GetParam().Out);
}

TFaults Wrong(int At, int Byte = -1) {
  TFaults F;
  F.WrongReplyAt = At;
  F.WrongReplyByte = Byte;
  return F;
}
TFaults Silent(int From) {
  TFaults F;
  F.SilentFrom = From;
  return F;
}
TFaults Noise(int At, int Count) {
  TFaults F;
  F.NoiseAt = At;
  F.NoiseCount = Count;
  return F;
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Faults, SimFault,
    ::testing::Values(TSimFaultCase{"None", TFaults{}, {0xAA, 0xAA, 0xAA}},
                      TSimFaultCase{"WrongReplyAtSecond", Wrong(2), {0xAA, 0xAA ^ 0x5A, 0xAA}},
                      TSimFaultCase{"WrongReplyByteChosen", Wrong(2, 0x00), {0xAA, 0x00, 0xAA}},
                      TSimFaultCase{"SilentFromSecond", Silent(2), {0xAA}},
                      TSimFaultCase{"TwoNoiseBytesInThird", Noise(3, 2), {0xAA, 0xAA, 0xFF, 0xFF, 0xAA}}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --wrong-reply-byte: a byte in hexadecimal, only beside --wrong-reply-at.
struct TWrongByteOptionCase {
  const char* Name;
  std::vector<std::string> Args;
  int Byte;  // -1: refused
};
void PrintTo(const TWrongByteOptionCase& C, std::ostream* Out) { *Out << C.Name; }

class SimWrongByteOption : public ::testing::TestWithParam<TWrongByteOptionCase> {};

TEST_P(SimWrongByteOption, TakesAHexByteBesideTheFrameNumber) {
  const TWrongByteOptionCase& C = GetParam();
  bool Help = false;
  if (C.Byte < 0) {
    EXPECT_THROW(sim::ParseSimOptions(C.Args, Help), std::invalid_argument);
    return;
  }
  EXPECT_EQ(sim::ParseSimOptions(C.Args, Help).Faults.WrongReplyByte, C.Byte);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Values, SimWrongByteOption,
    ::testing::Values(
        TWrongByteOptionCase{"Plain", {"--wrong-reply-at", "3", "--wrong-reply-byte", "AA"}, 0xAA},
        TWrongByteOptionCase{"WithPrefix", {"--wrong-reply-byte", "0x0a", "--wrong-reply-at", "3"}, 0x0A},
        TWrongByteOptionCase{"Zero", {"--wrong-reply-at", "3", "--wrong-reply-byte", "0"}, 0x00},
        TWrongByteOptionCase{"WithoutTheFrameNumber", {"--wrong-reply-byte", "AA"}, -1},
        TWrongByteOptionCase{"MoreThanAByte", {"--wrong-reply-at", "3", "--wrong-reply-byte", "1AA"}, -1},
        TWrongByteOptionCase{"NotHexadecimal", {"--wrong-reply-at", "3", "--wrong-reply-byte", "AG"}, -1},
        TWrongByteOptionCase{"PrefixAlone", {"--wrong-reply-at", "3", "--wrong-reply-byte", "0x"}, -1},
        TWrongByteOptionCase{"Negative", {"--wrong-reply-at", "3", "--wrong-reply-byte", "-1"}, -1}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

struct TNumberedPathCase {
  const char* Name;
  const char* Path;
  int Device, Devices, Board, Boards;
  const char* Expected;
};
void PrintTo(const TNumberedPathCase& C, std::ostream* Out) { *Out << C.Name; }

class SimNumberedPath : public ::testing::TestWithParam<TNumberedPathCase> {};

TEST_P(SimNumberedPath, NamesEachDeviceAndBoardApart) {
  const TNumberedPathCase& C = GetParam();
  EXPECT_EQ(sim::NumberedPath(C.Path, C.Device, C.Devices, C.Board, C.Boards), C.Expected);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Paths, SimNumberedPath,
    ::testing::Values(TNumberedPathCase{"OneDeviceOneBoardKeepsThePath", "/tmp/mem.bin", 1, 1, 1, 1, "/tmp/mem.bin"},
                      TNumberedPathCase{"DeviceBeforeTheExtension", "/tmp/mem.bin", 3, 4, 1, 1, "/tmp/mem-3.bin"},
                      TNumberedPathCase{"BoardBeforeTheExtension", "mem.bin", 1, 1, 2, 3, "mem-b2.bin"},
                      TNumberedPathCase{"DeviceAndBoard", "mem.bin", 2, 2, 3, 3, "mem-2-b3.bin"},
                      TNumberedPathCase{"NoExtensionAppends", "/tmp/ttySIM", 2, 2, 1, 1, "/tmp/ttySIM-2"},
                      TNumberedPathCase{"DotInAFolderIsNoExtension", "/tmp/a.d/tty", 1, 2, 1, 1, "/tmp/a.d/tty-1"},
                      TNumberedPathCase{"HiddenFileHasNoExtension", "/tmp/.mem", 1, 2, 1, 1, "/tmp/.mem-1"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(SimProcess, TermEndsItCleanlyAndRemovesItsLink) {
  TTempDir Dir;
  TSimProcess Sim({"--link", Dir.File("tty")});
  EXPECT_EQ(std::filesystem::read_symlink(Dir.File("tty")).string(), Sim.PortPath());
  EXPECT_EQ(Sim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(Dir.File("tty")));
}

TEST(SimProcess, LinkOverAFileThatIsNoLinkIsRefusedAndTheFileKept) {
  TTempDir Dir;
  const std::vector<std::uint8_t> Firmware = {':', '0', '0', '\n'};
  WriteFile(Dir.File("firmware.hex"), Firmware);
  std::string Out, Err;
  EXPECT_EQ(RunProgram({SimPath(), "--link", Dir.File("firmware.hex")}, &Out, &Err), 1);
  EXPECT_NE(Err.find("is not a symbolic link"), std::string::npos) << Err;
  EXPECT_EQ(Out, "") << "no port is announced";
  EXPECT_FALSE(std::filesystem::is_symlink(Dir.File("firmware.hex")));
  EXPECT_EQ(ReadFile(Dir.File("firmware.hex")), Firmware);
}

TEST(SimProcess, AStaleLinkIsReplacedAndALinkNoLongerOursIsLeftAtExit) {
  TTempDir Dir;
  std::filesystem::create_symlink("/dev/pts/stale", Dir.File("tty"));
  TSimProcess Sim({"--link", Dir.File("tty")});
  EXPECT_EQ(std::filesystem::read_symlink(Dir.File("tty")).string(), Sim.PortPath());
  // Another simulator (or the user) takes the name over while this one runs.
  std::filesystem::remove(Dir.File("tty"));
  std::filesystem::create_symlink("/dev/pts/other", Dir.File("tty"));
  EXPECT_EQ(Sim.Stop(), 0);
  ASSERT_TRUE(std::filesystem::is_symlink(Dir.File("tty")));
  EXPECT_EQ(std::filesystem::read_symlink(Dir.File("tty")).string(), "/dev/pts/other");
}

// The simulated port, raw as the loader sets it; -1 when it cannot be opened so.
int OpenRaw(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY);
  if (Fd < 0) return -1;
  termios T{};
  if (::tcgetattr(Fd, &T) == 0) {
    ::cfmakeraw(&T);
    if (::tcsetattr(Fd, TCSANOW, &T) == 0) return Fd;
  }
  ::close(Fd);
  return -1;
}

// --usb-latency: the adapter holds the device's bytes until its timer, started by the first byte held,
// runs out; a full USB packet goes at once. The hello comes no sooner than the latency after the open,
// and the 62-byte echo of 62 stray bytes comes in one piece.
TEST(SimProcess, AUsbLatencyHoldsTheDevicesBytes) {
  constexpr int kLatencyMs = 200;
  TSimProcess Sim({"--hello-delay", "0", "--log", "none", "--usb-latency", std::to_string(kLatencyMs)});
  const int Fd = OpenRaw(Sim.PortPath());
  ASSERT_GE(Fd, 0);
  const auto Opened = std::chrono::steady_clock::now();
  std::uint8_t Byte = 0;
  ASSERT_EQ(::read(Fd, &Byte, 1), 1);
  EXPECT_EQ(Byte, 0x55);
  EXPECT_GE(std::chrono::steady_clock::now() - Opened, std::chrono::milliseconds(kLatencyMs - 5));
  // Stray bytes between frames are only echoed; a packet's worth leaves the adapter without delay.
  const std::vector<std::uint8_t> Stray(62, 0x00);
  ASSERT_EQ(::write(Fd, Stray.data(), Stray.size()), 62);
  pollfd P{Fd, POLLIN, 0};
  ASSERT_EQ(::poll(&P, 1, kLatencyMs / 2), 1) << "a full packet was held for the latency timer";
  ::close(Fd);
}

// --usb-cdc: a device with its own USB port hands over its bytes in packets of at most 64 bytes, one
// each interval, however many are ready: 150 stray bytes come back as 64, 64 and 22, an interval apart.
TEST(SimProcess, AUsbCdcDeviceSendsOnePacketAnInterval) {
  constexpr int kIntervalMs = 200;
  TSimProcess Sim({"--hello-delay", "0", "--log", "none", "--usb-cdc", std::to_string(kIntervalMs)});
  const int Fd = OpenRaw(Sim.PortPath());
  ASSERT_GE(Fd, 0);
  std::uint8_t Buf[256];
  ASSERT_EQ(::read(Fd, Buf, sizeof Buf), 1);
  EXPECT_EQ(Buf[0], 0x55);
  const std::vector<std::uint8_t> Stray(150, 0x00);
  ASSERT_EQ(::write(Fd, Stray.data(), Stray.size()), 150);
  std::vector<ssize_t> Packets;
  std::vector<std::chrono::steady_clock::time_point> Times;
  for (int Got = 0; Got < 150;) {
    pollfd P{Fd, POLLIN, 0};
    ASSERT_EQ(::poll(&P, 1, 5 * kIntervalMs), 1) << "after " << Got << " bytes";
    Times.push_back(std::chrono::steady_clock::now());
    Packets.push_back(::read(Fd, Buf, sizeof Buf));
    ASSERT_GT(Packets.back(), 0);
    Got += static_cast<int>(Packets.back());
  }
  EXPECT_EQ(Packets, (std::vector<ssize_t>{64, 64, 22}));
  for (std::size_t i = 1; i < Times.size(); ++i)
    EXPECT_GE(Times[i] - Times[i - 1], std::chrono::milliseconds(kIntervalMs / 2)) << "packet " << i + 1;
  ::close(Fd);
}

TEST(SimProcess, AUsbCdcDeviceIsNoUsbAdapterAsWell) {
  std::string Out, Err;
  EXPECT_EQ(RunProgram({SimPath(), "--usb-cdc", "1", "--usb-latency", "1"}, &Out, &Err), 2);
  EXPECT_NE(Err.find("--usb-cdc and --usb-latency cannot be used together"), std::string::npos) << Err;
  EXPECT_EQ(RunProgram({SimPath(), "--usb-cdc", "0"}, &Out, &Err), 2);
  EXPECT_NE(Err.find("bad value '0' for --usb-cdc"), std::string::npos) << Err;
}

}  // namespace
}  // namespace hexloader::test
