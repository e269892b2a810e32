// Open, traffic and close again and again, with dispatches and writes in flight at every close:
// the sanitizer builds check that no thread touches what Close or the destructor released.
#include <thread>

#include "pty_fixture.h"

namespace hexloader::testing_serial {
namespace {

class SerialStress : public SerialFixture {};

TEST_F(SerialStress, OpenTrafficCloseLoop) {
  constexpr int kRounds = 25;
  std::string echoed;
  int txEmpty = 0;
  for (int round = 0; round < kRounds; ++round) {
    auto comm = std::make_unique<TSerialComm>();
    comm->SetDeviceName(Pty.Path);
    comm->SetOnRxChar([&](TSerialCustomComm& Sender, int Count) {
      std::string buf(static_cast<std::size_t>(Count), '\0');
      const int n = Sender.ReadBuf(buf.data(), Count);
      // Answer every batch: the write thread and the event thread both stay busy.
      Sender.WriteBuf(buf.data(), std::min(n, 64));
    });
    comm->SetOnTxEmpty([&](TSerialCustomComm&) { ++txEmpty; });
    comm->Open();
    std::atomic<bool> stop{false};
    std::thread far([&] {
      // The far end keeps sending and draining until told to stop.
      while (!stop.load()) {
        // One attempt only: once the component has closed nobody drains the near end.
        [[maybe_unused]] ssize_t sent = ::write(Pty.Master, "ping", 4);
        char buf[512];
        while (::read(Pty.Master, buf, sizeof buf) > 0) {}
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    Loop.RunUntil([] { return false; }, std::chrono::milliseconds(20 + round % 5 * 10));
    if (round % 2 == 0) comm->Close();  // with dispatches queued and output in flight
    else comm.reset();                  // destroyed while its threads are busy
    stop = true;
    far.join();
    comm.reset();
    // Whatever the closed component left queued runs now and must do nothing.
    Loop.RunUntil([] { return false; }, 10ms);
    char drain[4096];
    while (::read(Pty.Master, drain, sizeof drain) > 0) {}
  }
  EXPECT_GE(txEmpty, 1);
  EXPECT_EQ(Shown, std::vector<std::string>{});
}

TEST_F(SerialStress, ClosingWhileHandOverIsPendingNeverRunsHandlerAfterward) {
  int calls = 0;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int) { ++calls; });
  for (int round = 0; round < 10; ++round) {
    Comm.Open();
    Pty.Send("x");
    // Let the event thread see the bytes and queue its dispatch, but do not run the loop.
    while (Loop.Pending() == 0) std::this_thread::yield();
    Comm.Close();
    Loop.RunUntil([] { return false; }, 5ms);
    char drain[64];
    while (::read(Pty.Slave, drain, sizeof drain) > 0) {}
  }
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace hexloader::testing_serial
