// hexloader-cli and the upload session against our ATmega328P bootloader running in simavr
// (hexloader-sim --avr): a real AVR core, its USART at 19,200 bit/s and its self-programming unit at
// the far end. The flash is checked page by page, the bootloader's own section must survive an image
// that reaches it, and the uploaded program must run. These tests run one at a time: the simulation
// takes a whole core.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/event_loop.h"
#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "serial/serial_comm.h"
#include "tests/upload/avr_device.h"
#include "tests/upload/held_port.h"
#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/recording_view.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"
#include "upload/loader_line_settings.h"
#include "upload/serial_comm_port.h"

namespace hexloader::test {
namespace {

struct TAvrCase {
  const char* Name;
  std::size_t ImageSize;
  int CliStatus;
  const char* CliError;  // on the loader's standard error; "" = none
  int SimStatus;         // 0: the bootloader started the application
};
void PrintTo(const TAvrCase& C, std::ostream* Out) { *Out << C.Name; }

class AvrUpload : public ::testing::TestWithParam<TAvrCase> {};

TEST_P(AvrUpload, EndsWithItsStatusesAndTheFlash) {
  const TAvrCase& C = GetParam();
  TTempDir Dir;
  const std::vector<std::uint8_t> Image = PatternImage(C.ImageSize);
  WriteIntelHex(Dir.File("fw.hex"), Image);
  TAvrDevice Device(Dir.Path(), {"--once", "--memory", Dir.File("flash.bin")});

  std::string Out, Err;
  // The time-out only keeps a broken board from hanging the test.
  EXPECT_EQ(RunProgram({CliPath(), "upload", "--port", Device.PortPath(), "--timeout", "120", "fw.hex"}, &Out, &Err,
                       Dir.Path()),
            C.CliStatus)
      << Err;
  if (*C.CliError) EXPECT_NE(Err.find(C.CliError), std::string::npos) << Err;
  else EXPECT_EQ(Err, "");

  EXPECT_EQ(Device.Wait(), C.SimStatus) << Device.Errors();
  const std::string Log = Device.Errors();
  if (C.SimStatus == 0) EXPECT_GE(ApplicationStartSeconds(Log), 0) << Log;
  else EXPECT_NE(Log.find("the bootloader did not start the application"), std::string::npos) << Log;
  // Written when the application starts, or when the board is switched off without it.
  EXPECT_EQ(AvrFlashDifference(ReadFile(Dir.File("flash.bin")), Image), "") << Log;
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, AvrUpload,
    ::testing::Values(
        TAvrCase{"OneByteImage", 1, 0, "", 0},
        TAvrCase{"Image1000Bytes", 1000, 0, "", 0},
        // The last frame carries the image's last byte and one byte of zero fill below the bootloader.
        TAvrCase{"LargestImageBelowTheBootloader", AvrBootStart - 1, 0, "", 0},
        // Every byte fits, but the frame of zero fill that ends every upload falls on the boot section.
        TAvrCase{"ImageFillingTheApplicationSection", AvrBootStart, 2, "Ошибка ответа", 1},
        TAvrCase{"ImageReachingIntoTheBootloader", AvrBootStart + 300, 2, "Ошибка ответа", 1}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// The sample program, uploaded and started: the LED pin toggles every 250 ms of device time from the
// moment the bootloader hands over.
TEST(AvrSample, BlinksAfterTheUpload) {
  TTempDir Dir;
  const std::string Hex = Dir.File("blink-avr.hex");
  std::filesystem::copy_file(HEXLOADER_AVR_SAMPLE_PATH, Hex);
  TAvrDevice Device(Dir.Path(), {"--once", "--app-ms", "1100", "--memory", Dir.File("flash.bin")});
  std::string Out, Err;
  ASSERT_EQ(
      RunProgram({CliPath(), "upload", "--port", Device.PortPath(), "--timeout", "120", Hex}, &Out, &Err, Dir.Path()),
      0)
      << Err;
  ASSERT_EQ(Device.Wait(), 0) << Device.Errors();
  const std::string Log = Device.Errors();
  EXPECT_EQ(AvrFlashDifference(ReadFile(Dir.File("flash.bin")), ReadFile(Dir.File("blink-avr.BIN"))), "");

  const double Start = ApplicationStartSeconds(Log);
  ASSERT_GE(Start, 0) << Log;
  const std::vector<TPinEdge> Edges = PinEdges(Log, 5);
  ASSERT_EQ(Edges.size(), 5u) << "1.1 s at 250 ms a change: high, low, high, low, high\n" << Log;
  for (std::size_t i = 0; i < Edges.size(); ++i) {
    EXPECT_EQ(Edges[i].High, i % 2 == 0) << "change " << i;
    EXPECT_NEAR(Edges[i].Seconds - Start, 0.250 * static_cast<double>(i), 0.001) << "change " << i << "\n" << Log;
  }
  for (int Pin : {0, 1, 2, 3, 4, 6, 7}) EXPECT_TRUE(PinEdges(Log, Pin).empty()) << "PB" << Pin << " moved";
}

// Each opening of the port switches on a fresh board (erased flash, the bootloader in place).
TEST(AvrDevice, IsSwitchedOnAgainWhenThePortIsOpenedAgain) {
  TTempDir Dir;
  TAvrDevice Device(Dir.Path(), {"--memory", Dir.File("flash.bin")});
  for (std::size_t Size : {700u, 300u}) {
    const std::vector<std::uint8_t> Image = PatternImage(Size);
    WriteIntelHex(Dir.File("fw.hex"), Image);
    std::filesystem::remove(Dir.File("flash.bin"));
    std::string Out, Err;
    ASSERT_EQ(RunProgram({CliPath(), "upload", "--port", Device.PortPath(), "--timeout", "120", "fw.hex"}, &Out, &Err,
                         Dir.Path()),
              0)
        << Err << Device.Errors();
    // Written when the application starts, right after the end frame's echo.
    const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::error_code Error;
    while (std::filesystem::file_size(Dir.File("flash.bin"), Error) != AvrFlashSize || Error) {
      ASSERT_LT(std::chrono::steady_clock::now(), Until) << Device.Errors();
      ::usleep(10000);
    }
    EXPECT_EQ(AvrFlashDifference(ReadFile(Dir.File("flash.bin")), Image), "") << Size << " bytes";
  }
  EXPECT_EQ(Device.Stop(), 0) << Device.Errors();
}

// Waits (generously) until the simulator's log holds Text.
bool LogShows(const TAvrDevice& Device, const std::string& Text) {
  const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (Device.Errors().find(Text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > Until) return false;
    ::usleep(10000);
  }
  return true;
}

// A board that already holds a program, switched on without the loader answering its hello: the
// bootloader starts the program after its second of waiting.
TEST(AvrPowerUp, WithoutTheLoaderABoardRunsItsProgramAfterASecond) {
  TTempDir Dir;
  std::string Out, Err;
  ASSERT_EQ(RunProgram({CliPath(), "convert", HEXLOADER_AVR_SAMPLE_PATH}, &Out, &Err, Dir.Path()), 0) << Err;
  const std::vector<std::uint8_t> Image = ReadFile(Dir.File("blink-avr.BIN"));
  TAvrDevice Device(Dir.Path(),
                    {"--once", "--hello-delay", "0", "--app-ms", "300", "--flash", Dir.File("blink-avr.BIN")});
  {
    THeldPort Port(Device.PortPath());
    ASSERT_GE(Port.Fd, 0);
    ASSERT_EQ(Port.ReadByte(), 0x55);
    ASSERT_TRUE(LogShows(Device, "the application ran")) << Device.Errors();
  }
  EXPECT_EQ(Device.Wait(), 0) << Device.Errors();
  const std::string Log = Device.Errors();
  EXPECT_NEAR(ApplicationStartSeconds(Log), 1.0, 0.005) << Log;
  EXPECT_EQ(PinEdges(Log, 5).size(), 2u) << "high at the start, low 250 ms later\n" << Log;
}

// An empty board has nothing to start: after the same wait its bootloader still serves the loader.
TEST(AvrPowerUp, AnEmptyBoardKeepsWaitingForTheLoader) {
  TTempDir Dir;
  TAvrDevice Device(Dir.Path(), {"--once", "--hello-delay", "0"});
  {
    THeldPort Port(Device.PortPath());
    ASSERT_GE(Port.Fd, 0);
    ASSERT_EQ(Port.ReadByte(), 0x55);
    // The device's clock runs ahead of the wall's: two seconds are well past its second of waiting.
    ::sleep(2);
    const std::uint8_t Sync[] = {0x55, 0x33, 0xCC};
    ASSERT_EQ(::write(Port.Fd, Sync, sizeof Sync), 3);
    for (std::uint8_t Echoed : Sync) EXPECT_EQ(Port.ReadByte(), Echoed);
    EXPECT_EQ(Port.ReadByte(), 0xAA);
  }
  EXPECT_EQ(Device.Wait(), 1) << "under --once without the application started";
  EXPECT_EQ(ApplicationStartSeconds(Device.Errors()), -1) << Device.Errors();
}

// Frames the loader never sends, straight from the test: each data frame is written only on a page of
// the application section, at a page's start; any other is answered wrongly and leaves the flash alone,
// and the bootloader goes on serving frames after it.
TEST(AvrFrames, OnlyWholeApplicationPagesAreWritten) {
  struct TFrame {
    unsigned Address;
    bool Written;
  };
  const TFrame Frames[] = {{0x0000, true},  {0x0040, false}, {0x7B80, true},
                           {0x7C00, false}, {0x7F80, false}, {0xFF80, false}};
  TTempDir Dir;
  TAvrDevice Device(Dir.Path(), {"--once", "--hello-delay", "0", "--memory", Dir.File("flash.bin")});
  std::vector<std::uint8_t> Expected = FreshAvrFlash();
  {
    THeldPort Port(Device.PortPath());
    ASSERT_GE(Port.Fd, 0);
    ASSERT_EQ(Port.ReadByte(), 0x55);
    // Sends Bytes; returns the answer after their echo (-1: none, or a wrong echo).
    auto Exchange = [&Port](const std::vector<std::uint8_t>& Bytes) {
      if (::write(Port.Fd, Bytes.data(), Bytes.size()) != static_cast<ssize_t>(Bytes.size())) return -1;
      for (std::uint8_t B : Bytes)
        if (Port.ReadByte() != B) return -1;
      return Port.ReadByte();
    };
    ASSERT_EQ(Exchange({0x55, 0x33, 0xCC}), 0xAA);
    for (const TFrame& F : Frames) {
      std::vector<std::uint8_t> Frame{0x22, static_cast<std::uint8_t>(F.Address >> 8),
                                      static_cast<std::uint8_t>(F.Address)};
      const std::vector<std::uint8_t> Data = PatternImage(F.Address + 128);
      Frame.insert(Frame.end(), Data.end() - 128, Data.end());
      const int Sum = SumOf(Frame);
      EXPECT_EQ(Exchange(Frame), F.Written ? Sum : Sum ^ 0x5A) << "frame at " << F.Address;
      if (F.Written) std::copy(Frame.begin() + 3, Frame.end(), Expected.begin() + F.Address);
    }
    // The end frame starts the application; its echo is all that comes back.
    ASSERT_EQ(::write(Port.Fd, "\x99\0\0", 3), 3);
    for (int B : {0x99, 0x00, 0x00}) EXPECT_EQ(Port.ReadByte(), B);
    ASSERT_TRUE(LogShows(Device, "started the application")) << Device.Errors();
  }
  EXPECT_EQ(Device.Wait(), 0) << Device.Errors();
  const std::vector<std::uint8_t> Flash = ReadFile(Dir.File("flash.bin"));
  ASSERT_EQ(Flash.size(), AvrFlashSize);
  for (std::size_t At = 0; At < AvrFlashSize; ++At) ASSERT_EQ(Flash[At], Expected[At]) << "byte " << At;
}

// The empty image, which the command line refuses, through the session itself on the serial component
// as the window runs it: one data frame of 128 zero bytes at 0x0000.
TEST(AvrSession, EmptyImageWritesOneZeroPage) {
  TTempDir Dir;
  TEventLoop Loop;
  SetUiDispatcher(&Loop);
  std::vector<std::string> Shown;
  SetExceptionDisplay([&Shown](const std::string& Message) { Shown.push_back(Message); });
  WriteFile(Dir.File("image.BIN"), {});
  {
    TAvrDevice Device(Dir.Path(), {"--once", "--memory", Dir.File("flash.bin")});
    TRecordingView View;
    TSerialComm Comm;
    ApplyLoaderLineSettings(Comm);
    Comm.SetDeviceName(Device.PortPath());
    TSerialCommPort Port(Comm);
    TUploadSession Session(Port, View, [&Dir](const std::string&) { return Dir.File("image.BIN"); });
    Comm.SetOnRxChar([&Session](TSerialCustomComm&, int Count) { Session.OnRxChar(Count); });
    Session.Start();
    ASSERT_TRUE(Loop.RunUntil([&] { return Session.Outcome() != TUploadOutcome::None || !Shown.empty(); },
                              std::chrono::seconds(60)));
    EXPECT_TRUE(Shown.empty()) << Shown.front();
    EXPECT_EQ(Session.Outcome(), TUploadOutcome::Finished);
    // The end frame's echo shows it went out before the port closes.
    ASSERT_TRUE(Loop.RunUntil([&] { return Session.RxSinceSend() >= frame::ShortLen; }, std::chrono::seconds(60)));
    Comm.Close();
    EXPECT_EQ(Device.Wait(), 0) << Device.Errors();
  }
  EXPECT_EQ(AvrFlashDifference(ReadFile(Dir.File("flash.bin")), {}), "");
  SetExceptionDisplay(nullptr);
  SetUiDispatcher(nullptr);
}

// SIGTERM while the board waits for frames: a clean end, a failure under --once (no application started).
struct TStopCase {
  const char* Name;
  bool Once;
  int SimStatus;
};
void PrintTo(const TStopCase& C, std::ostream* Out) { *Out << C.Name; }

class AvrDeviceStopped : public ::testing::TestWithParam<TStopCase> {};

TEST_P(AvrDeviceStopped, EndsWithItsStatus) {
  const TStopCase& C = GetParam();
  TTempDir Dir;
  std::vector<std::string> Args{"--hello-delay", "0", "--memory", Dir.File("flash.bin")};
  if (C.Once) Args.push_back("--once");
  TAvrDevice Device(Dir.Path(), Args);
  THeldPort Port(Device.PortPath());
  ASSERT_GE(Port.Fd, 0);
  ASSERT_EQ(Port.ReadByte(), 0x55);  // the board is on
  EXPECT_EQ(Device.Stop(), C.SimStatus) << Device.Errors();
  // Switched off before the application started: the flash as it was, the bootloader alone.
  EXPECT_TRUE(ReadFile(Dir.File("flash.bin")) == FreshAvrFlash()) << "no page was written";
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Signals, AvrDeviceStopped,
                         ::testing::Values(TStopCase{"TerminatedEndsCleanly", false, 0},
                                           TStopCase{"TerminatedBeforeTheApplicationFailsUnderOnce", true, 1}),
                         [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

struct TRefusalCase {
  const char* Name;
  // "bootloader": the built one; "sample": an application's ELF; otherwise a file made from this text ("" = none)
  const char* Firmware;
  std::vector<std::string> Args;
  int Status;
  const char* Error;
};
void PrintTo(const TRefusalCase& C, std::ostream* Out) { *Out << C.Name; }

class AvrRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(AvrRefusal, SaysWhyAndEndsWithoutAPort) {
  const TRefusalCase& C = GetParam();
  TTempDir Dir;
  std::string Firmware = Dir.File("missing.elf");
  if (std::string(C.Firmware) == "bootloader") Firmware = AvrBootloader();
  else if (std::string(C.Firmware) == "sample") Firmware = HEXLOADER_AVR_SAMPLE_ELF_PATH;
  else if (*C.Firmware) std::ofstream(Firmware = Dir.File("firmware.elf")) << C.Firmware;
  std::vector<std::string> Args{SimPath(), "--avr", Firmware};
  Args.insert(Args.end(), C.Args.begin(), C.Args.end());
  std::string Out, Err;
  EXPECT_EQ(RunProgram(Args, &Out, &Err), C.Status);
  EXPECT_EQ(Out, "") << "no port is announced";
  EXPECT_NE(Err.find(C.Error), std::string::npos) << Err;
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, AvrRefusal,
    ::testing::Values(
        TRefusalCase{"BootloaderMissing", "", {}, 1, "cannot read the bootloader"},
        TRefusalCase{"BootloaderNotElf", ":00000001FF\n", {}, 1, "is not an AVR ELF file"},
        TRefusalCase{"BrokenElf", "\x7f" "ELF but nothing more", {}, 1, "is not an AVR ELF file"},
        TRefusalCase{"ProgramLinkedAtZero", "sample", {}, 1, "starts at 0x0000, not at a boot section's start"},
        TRefusalCase{"FaultOptionOfTheBuiltInDevice", "bootloader", {"--wrong-reply-at", "3"}, 2,
                     "--wrong-reply-at cannot be used with --avr"},
        TRefusalCase{"FlashImageMissing", "bootloader", {"--flash", "/nonexistent/flash.bin"}, 1,
                     "cannot read the flash image"},
        // Endless zeros: far more than the flash below the bootloader holds.
        TRefusalCase{"FlashImageReachingTheBootloader", "bootloader", {"--flash", "/dev/zero"}, 1,
                     "reaches the bootloader's section"},
        TRefusalCase{"TwoSimulators", "bootloader", {"--s51", "loader51.ihx"}, 2, "--s51 and --avr cannot be used together"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

}  // namespace
}  // namespace hexloader::test
