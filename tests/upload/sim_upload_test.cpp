// The session against the simulated device: the device's memory must equal the image, and the faults
// the simulator injects must end the session the way a real line's would.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

class AgainstSimulator : public ::testing::Test {
 protected:
  // Starts the simulator with Args and a session on its port, uploading Image.
  void Begin(const std::vector<std::uint8_t>& Image, std::vector<std::string> Args) {
    WriteFile(Dir.File("image.BIN"), Image);
    Args.insert(Args.end(), {"--once", "--hello-delay", "0", "--memory", Dir.File("memory.bin")});
    Sim = std::make_unique<TSimProcess>(Args);
    Port = std::make_unique<TPtySessionPort>(Sim->PortPath());
    Port->SetDeviceName(Sim->PortPath());
    Session =
        std::make_unique<TUploadSession>(*Port, View, [this](const std::string&) { return Dir.File("image.BIN"); });
    Session->SetHexFileName(Dir.File("image.hex"));
    Session->Start();
  }

  bool RunToEnd() {
    return Port->PumpUntil(*Session, [&] { return Session->Outcome() != TUploadOutcome::None; });
  }

  TTempDir Dir;
  TRecordingView View;
  std::unique_ptr<TSimProcess> Sim;
  std::unique_ptr<TPtySessionPort> Port;
  std::unique_ptr<TUploadSession> Session;
};

class DeviceMemory : public AgainstSimulator, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(DeviceMemory, EqualsTheImage) {
  const std::vector<std::uint8_t> Image = PatternImage(GetParam());
  Begin(Image, {});
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Session->Outcome(), TUploadOutcome::Finished);
  Session.reset();
  Port.reset();  // the loader closes the port; the simulator then ends
  ASSERT_EQ(Sim->Wait(), 0) << "the simulator ends once the end frame has arrived";

  const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("memory.bin"));
  ASSERT_EQ(Memory.size(), std::min<std::size_t>(65536, (Image.size() / 128 + 1) * 128));
  EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin())) << "the device's memory differs from the image";
  EXPECT_TRUE(std::all_of(Memory.begin() + static_cast<long>(Image.size()), Memory.end(),
                          [](std::uint8_t B) { return B == 0; }));
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Sizes, DeviceMemory, ::testing::Values(0, 128, 300, 600, 65535),
                         [](const auto& Info) { return "Bytes" + std::to_string(Info.param); });
// clang-format on

struct TFaultCase {
  const char* Name;
  std::vector<std::string> Args;
};
void PrintTo(const TFaultCase& C, std::ostream* Out) { *Out << C.Name; }

class InjectedFault : public AgainstSimulator, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(InjectedFault, EndsWithTheReplyError) {
  Begin(PatternImage(1000), GetParam().Args);
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Session->Outcome(), TUploadOutcome::ReplyError);
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(View.Messages[0], "Ошибка ответа");
  EXPECT_EQ(Session->Stage(), Idle);
  EXPECT_TRUE(View.CommandsEnabled);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Faults, InjectedFault,
    ::testing::Values(TFaultCase{"WrongReplyToSync", {"--wrong-reply-at", "1"}},
                      TFaultCase{"WrongReplyToFourthDataFrame", {"--wrong-reply-at", "6"}},
                      TFaultCase{"NoiseInsideAnEcho", {"--noise-at", "4", "--noise-count", "2"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// This fixture gives the session no reply timer and a plain pseudo-terminal that reports no loss:
// without them the session can only wait (serial_upload_test covers the time-out and the lost port).
TEST_F(AgainstSimulator, SilenceLeavesTheSessionInItsStage) {
  Begin(PatternImage(1000), {"--silent-from", "4"});
  // Frames 1..3 are answered; frame 4 (the second data frame) only comes back as its echo.
  ASSERT_TRUE(Port->PumpUntil(*Session,
                              [&] { return Session->FrameCount() == 2 && Session->RxSinceSend() == frame::DataLen; }));
  EXPECT_EQ(Session->Stage(), AwaitDataAck);
  EXPECT_EQ(Session->Outcome(), TUploadOutcome::None);
  EXPECT_FALSE(View.CommandsEnabled);
  EXPECT_TRUE(View.Messages.empty());
}

TEST_F(AgainstSimulator, AHangUpLeavesTheSessionWaitingWithoutAMessage) {
  Begin(PatternImage(1000), {"--hangup-at", "3"});
  // The session runs until the line goes dead under it (the simulator hangs up at the first data frame).
  while (Port->PumpOnce(*Session)) {}
  EXPECT_EQ(Sim->Wait(), 0);
  EXPECT_NE(Session->Stage(), Idle);
  EXPECT_EQ(Session->Outcome(), TUploadOutcome::None);
  EXPECT_TRUE(View.Messages.empty());
}

}  // namespace
}  // namespace hexloader::test
