// The session on the real serial component and the plain event loop, as the command-line tool and the
// window run it, against the simulated device: the component's threads deliver OnRxChar on the
// user-interface thread and the session answers from inside it.
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/event_loop.h"
#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "serial/serial_comm.h"
#include "tests/upload/recording_view.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"
#include "upload/loader_line_settings.h"
#include "upload/serial_comm_port.h"

namespace hexloader::test {
namespace {

constexpr auto kGenerous = std::chrono::seconds(60);

class SessionOnSerialComm : public ::testing::Test {
 protected:
  SessionOnSerialComm() {
    SetUiDispatcher(&Loop);
    SetExceptionDisplay([this](const std::string& Message) { Shown.push_back(Message); });
  }
  ~SessionOnSerialComm() override {
    Session.reset();
    Comm.reset();
    SetExceptionDisplay(nullptr);
  }

  void Begin(const std::vector<std::uint8_t>& Image, std::vector<std::string> SimArgs) {
    WriteFile(Dir.File("image.BIN"), Image);
    SimArgs.insert(SimArgs.end(), {"--once", "--memory", Dir.File("memory.bin")});
    Sim = std::make_unique<TSimProcess>(SimArgs);
    Comm = std::make_unique<TSerialComm>();
    ApplyLoaderLineSettings(*Comm);
    Comm->SetDeviceName(Sim->PortPath());
    Port = std::make_unique<TSerialCommPort>(*Comm);
    Session =
        std::make_unique<TUploadSession>(*Port, View, [this](const std::string&) { return Dir.File("image.BIN"); });
    Comm->SetOnRxChar([this](TSerialCustomComm&, int Count) { Session->OnRxChar(Count); });
    Session->Start();
  }

  bool RunToEnd() {
    return Loop.RunUntil([&] { return Session->Outcome() != TUploadOutcome::None || !Shown.empty(); },
                         std::chrono::duration_cast<std::chrono::milliseconds>(kGenerous));
  }

  TEventLoop Loop;
  TTempDir Dir;
  TRecordingView View;
  std::vector<std::string> Shown;
  std::unique_ptr<TSimProcess> Sim;
  std::unique_ptr<TSerialComm> Comm;
  std::unique_ptr<TSerialCommPort> Port;
  std::unique_ptr<TUploadSession> Session;
};

struct TSerialCase {
  const char* Name;
  std::size_t ImageSize;
  std::vector<std::string> SimArgs;
};
void PrintTo(const TSerialCase& C, std::ostream* Out) { *Out << C.Name; }

class SerialUpload : public SessionOnSerialComm, public ::testing::WithParamInterface<TSerialCase> {};

TEST_P(SerialUpload, DeviceMemoryEqualsTheImage) {
  const std::vector<std::uint8_t> Image = PatternImage(GetParam().ImageSize);
  Begin(Image, GetParam().SimArgs);
  ASSERT_TRUE(RunToEnd()) << "the upload did not end";
  EXPECT_TRUE(Shown.empty()) << Shown.front();
  ASSERT_EQ(Session->Outcome(), TUploadOutcome::Finished);
  // The end frame's echo shows it went out before the port closes.
  ASSERT_TRUE(Loop.RunUntil([&] { return Session->RxSinceSend() >= frame::ShortLen; }, std::chrono::seconds(60)));
  Comm->Close();
  ASSERT_EQ(Sim->Wait(), 0);
  const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("memory.bin"));
  ASSERT_GE(Memory.size(), Image.size());
  EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin()));
  EXPECT_FALSE(View.ProgressVisible);
  EXPECT_TRUE(View.CommandsEnabled);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Images, SerialUpload,
    ::testing::Values(TSerialCase{"Bytes600", 600, {"--hello-delay", "0"}},
                      TSerialCase{"Bytes65535", 65535, {"--hello-delay", "0"}},
                      TSerialCase{"PacedLine", 300, {"--hello-delay", "50", "--bit-rate", "115200"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(SessionOnSerialComm, AWrongReplyEndsTheSessionInsideTheNotification) {
  Begin(PatternImage(1000), {"--hello-delay", "0", "--wrong-reply-at", "5"});
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Session->Outcome(), TUploadOutcome::ReplyError);
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(View.Messages[0], "Ошибка ответа");
  EXPECT_EQ(Session->Stage(), Idle);
  EXPECT_TRUE(Comm->IsOpen()) << "the port stays open after the session";
}

// A device that falls silent or goes away mid-upload: the session ends as failed with the window's
// state reset, and the same component and session then upload to a new device at the same path.
struct TFaultCase {
  const char* Name;
  std::vector<std::string> SimArgs;
  TUploadOutcome Outcome;
  std::vector<std::string> SessionMessages;  // the plain message dialog
  std::size_t PortMessages;                  // the central exception display
  bool PortOpenAfter;
};
void PrintTo(const TFaultCase& C, std::ostream* Out) { *Out << C.Name; }

class FaultThenNewDevice : public SessionOnSerialComm, public ::testing::WithParamInterface<TFaultCase> {
 protected:
  std::unique_ptr<TSimProcess> StartDevice(std::vector<std::string> Args) {
    Args.insert(Args.end(), {"--link", Link, "--hello-delay", "0", "--memory", Dir.File("memory.bin")});
    return std::make_unique<TSimProcess>(Args);
  }
  std::string Link = Dir.File("ttySIM");
};

TEST_P(FaultThenNewDevice, EndsAsFailedThenUploadsToTheNewDevice) {
  const TFaultCase& C = GetParam();
  const std::vector<std::uint8_t> Image = PatternImage(1000);
  WriteFile(Dir.File("image.BIN"), Image);
  std::unique_ptr<TSimProcess> First = StartDevice(C.SimArgs);
  Comm = std::make_unique<TSerialComm>();
  ApplyLoaderLineSettings(*Comm);
  Comm->SetDeviceName(Link);
  Port = std::make_unique<TSerialCommPort>(*Comm);
  Session = std::make_unique<TUploadSession>(*Port, View, [this](const std::string&) { return Dir.File("image.BIN"); });
  Session->SetReplyTimer(Loop.CreateTimer());
  Session->SetReplyTimeoutMs(1000);
  Comm->SetOnRxChar([this](TSerialCustomComm&, int Count) { Session->OnRxChar(Count); });
  Comm->SetOnDeviceLost([this](TSerialCustomComm&) { Session->PortLost(); });
  Session->Start();

  ASSERT_TRUE(Loop.RunUntil([&] { return Session->Outcome() != TUploadOutcome::None; }, std::chrono::seconds(60)))
      << "the session never ended";
  Loop.RunUntil([] { return false; }, std::chrono::seconds(2));  // nothing more may follow
  EXPECT_EQ(Session->Outcome(), C.Outcome);
  EXPECT_EQ(View.Messages, C.SessionMessages);
  EXPECT_EQ(Shown.size(), C.PortMessages);
  if (!Shown.empty()) {
    EXPECT_NE(Shown[0].find("(5), Input/output error"), std::string::npos) << Shown[0];
  }
  EXPECT_EQ(Comm->IsOpen(), C.PortOpenAfter);
  EXPECT_EQ(Comm->DeviceName(), Link) << "the port keeps its name";
  EXPECT_EQ(Session->Stage(), Idle);
  EXPECT_TRUE(View.CommandsEnabled);
  EXPECT_FALSE(View.ProgressVisible);
  EXPECT_EQ(View.Progress.PartsComplete(), 0u);
  EXPECT_FALSE(View.AnimationVisible);
  EXPECT_FALSE(View.AnimationActive);
  EXPECT_FALSE(View.PromptVisible);

  // The new device takes the path. A device that went away has ended its simulator (and its link).
  if (!C.PortOpenAfter) {
    EXPECT_EQ(First->Wait(), 0);
  }
  std::unique_ptr<TSimProcess> Second = StartDevice({"--once"});
  Session->Start();
  EXPECT_EQ(Session->Stage(), AwaitHello) << "the next Start waits for the hello again";
  EXPECT_TRUE(View.PromptVisible);
  if (C.PortOpenAfter) {
    // Still open on the silent device: the operator picks the port again.
    Comm->Close();
    Comm->Open();
  }
  ASSERT_TRUE(Loop.RunUntil([&] { return Session->Outcome() != TUploadOutcome::None; }, std::chrono::seconds(60)));
  ASSERT_EQ(Session->Outcome(), TUploadOutcome::Finished);
  ASSERT_TRUE(Loop.RunUntil([&] { return Session->RxSinceSend() >= frame::ShortLen; }, std::chrono::seconds(60)));
  Comm->Close();
  ASSERT_EQ(Second->Wait(), 0);
  const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("memory.bin"));
  ASSERT_GE(Memory.size(), Image.size());
  EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin()));
  EXPECT_EQ(Shown.size(), C.PortMessages) << "no message from the second upload";
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Faults, FaultThenNewDevice,
    ::testing::Values(
        TFaultCase{"SilentFromTheSecondDataFrame", {"--silent-from", "4"}, TUploadOutcome::Silent,
                   {"Устройство не отвечает"}, 0, true},
        TFaultCase{"LostAtTheFirstDataFrame", {"--hangup-at", "3"}, TUploadOutcome::PortError, {}, 1, false},
        TFaultCase{"LostAtTheSyncFrame", {"--hangup-at", "1"}, TUploadOutcome::PortError, {}, 1, false}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(SessionOnSerialComm, ASlowDeviceThatAnswersWithinTheTimeOutIsNeverGivenUpOn) {
  // Every reply 1.5 s late, against the default time-out of 5 s; a small image keeps it short.
  Begin(PatternImage(200), {"--hello-delay", "0", "--reply-delay", "1500"});
  Session->SetReplyTimer(Loop.CreateTimer());
  ASSERT_EQ(Session->ReplyTimeoutMs(), frame::DefaultReplyTimeoutMs);
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Session->Outcome(), TUploadOutcome::Finished);
  EXPECT_TRUE(View.Messages.empty());
  EXPECT_TRUE(Shown.empty());
}

}  // namespace
}  // namespace hexloader::test
