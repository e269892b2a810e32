// A port whose device goes away: the far end of the pseudo-terminal is closed, which hangs the line
// up as pulling a USB adapter does. Exactly one message, the component closes itself, and a fresh
// device opens as usual afterwards.
#include <atomic>
#include <ostream>
#include <thread>

#include "pty_fixture.h"
#include "serial/serial_error.h"

namespace hexloader::testing_serial {
namespace {

// What the component is doing when the device goes.
struct TLostCase {
  const char* Name;
  // Runs on the user-interface thread with the port open; Hangup closes the far end (at most once).
  std::function<void(TSerialComm& Comm, const std::function<void()>& Hangup)> Act;
};
void PrintTo(const TLostCase& C, std::ostream* Out) { *Out << C.Name; }

class SerialDeviceLost : public SerialFixture, public ::testing::WithParamInterface<TLostCase> {
 protected:
  void Hangup() {
    if (Pty.Master >= 0) ::close(Pty.Master);
    Pty.Master = -1;
  }
  std::vector<std::string> Events;  // outlives the component's handlers (closed in TearDown)
};

TEST_P(SerialDeviceLost, OneMessageThenClosedAndAFreshDeviceOpens) {
  Comm.SetOnClose([&](TSerialCustomComm& C) { Events.push_back(C.IsOpen() ? "close while open" : "close"); });
  Comm.SetOnDeviceLost([&](TSerialCustomComm& C) { Events.push_back(C.IsOpen() ? "lost while open" : "lost"); });
  Comm.SetOnRxChar([&](TSerialCustomComm& C, int Count) {
    std::string buf(static_cast<std::size_t>(Count), '\0');
    C.ReadBuf(buf.data(), Count);
  });
  Comm.Open();

  EXPECT_NO_THROW(GetParam().Act(Comm, [this] { Hangup(); })) << "the caller is not the one to report it";
  Hangup();
  Events.clear();  // a case may have reopened the port to set it up

  ASSERT_TRUE(Loop.RunUntil([&] { return !Shown.empty(); }, 10s)) << "the loss was never reported";
  // Long enough for a retrying thread to have brought the message back many times.
  Loop.RunUntil([] { return false; }, 2s);
  ASSERT_EQ(Shown.size(), 1u) << Shown.back();
  EXPECT_NE(Shown[0].find("(5), Input/output error"), std::string::npos) << Shown[0];
  EXPECT_FALSE(Comm.IsOpen());
  EXPECT_EQ(Events, (std::vector<std::string>{"close", "lost"}));
  // The name is kept for the next Open.
  const std::string oldName = Comm.DeviceName();
  EXPECT_FALSE(oldName.empty());

  // Nothing more from the closed component.
  char buf[4];
  EXPECT_EQ(Comm.ReadBuf(buf, 4), 0);
  EXPECT_EQ(Comm.WriteBuf("x", 1), 0);

  TPty fresh;
  Comm.SetDeviceName(fresh.Path);
  std::string got;
  Comm.SetOnRxChar([&](TSerialCustomComm& C, int Count) {
    std::string piece(static_cast<std::size_t>(Count), '\0');
    piece.resize(static_cast<std::size_t>(std::max(C.ReadBuf(piece.data(), Count), 0)));
    got += piece;
  });
  Comm.Open();
  EXPECT_EQ(Comm.WriteBuf("ping", 4), 4);
  EXPECT_EQ(fresh.Receive(4), "ping");
  fresh.Send("pong");
  EXPECT_TRUE(RunUntil([&] { return got == "pong"; })) << got;
  EXPECT_EQ(Shown.size(), 1u);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    While, SerialDeviceLost,
    ::testing::Values(
        TLostCase{"Idle", [](TSerialComm&, const std::function<void()>&) {}},
        TLostCase{"OutputQueued",
                  [](TSerialComm& Comm, const std::function<void()>&) {
                    // The far end reads nothing: the driver fills and the write thread keeps the rest.
                    Comm.Close();
                    Comm.Buffers().SetWriteSize(1 << 20);
                    Comm.Open();
                    std::vector<unsigned char> big(1 << 20, 0x5a);
                    Comm.WriteBuf(big.data(), static_cast<int>(big.size()));
                  }},
        TLostCase{"InTheMiddleOfReadBuf",
                  [](TSerialComm& Comm, const std::function<void()>& Hangup) {
                    Comm.Buffers().SetReadTimeout(5000);
                    std::thread far([&] {
                      std::this_thread::sleep_for(200ms);
                      Hangup();
                    });
                    char buf[8];
                    Comm.ReadBuf(buf, sizeof buf);
                    far.join();
                  }},
        TLostCase{"OutputQueuedThenReadStatusAndWriteOnTheUserInterfaceThread",
                  [](TSerialComm& Comm, const std::function<void()>& Hangup) {
                    // Three parties meet the loss before the loop runs: the write thread with its
                    // queue, and here a read (which sees it first), a status query and the next
                    // frame's write, as a session's handler makes them.
                    Comm.Close();
                    Comm.Buffers().SetWriteSize(1 << 20);
                    Comm.Open();
                    std::vector<unsigned char> big(1 << 20, 0x5a);
                    Comm.WriteBuf(big.data(), static_cast<int>(big.size()));
                    Hangup();
                    char buf[8];
                    EXPECT_EQ(Comm.ReadBuf(buf, sizeof buf), 0);
                    // From here on the port acts as closed, though its close has not run yet.
                    EXPECT_EQ(Comm.InQueueCount(), 0);
                    TSerialCommStatus status;
                    Comm.GetCommStatus(status);
                    EXPECT_EQ(Comm.WriteBuf("x", 1), 0);
                  }},
        TLostCase{"CallOnTheUserInterfaceThreadFirst",
                  [](TSerialComm& Comm, const std::function<void()>& Hangup) {
                    Hangup();
                    // Acts as on a closed port; the report comes through the display.
                    EXPECT_EQ(Comm.InQueueCount(), 0);
                    TSerialCommStatus status;
                    Comm.GetCommStatus(status);
                  }}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

}  // namespace
}  // namespace hexloader::testing_serial
