// Moving bytes and delivering line events, with the test as the far end of a pseudo-terminal.
#include <algorithm>
#include <atomic>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "pty_fixture.h"
#include "serial/serial_error.h"

namespace hexloader::testing_serial {
namespace {

// Records every OnRxChar: its Count, whether it ran on the user-interface thread and whether it was
// nested in another.
class SerialEvents : public SerialFixture {
 protected:
  void SetUp() override {
    SerialFixture::SetUp();
    UiThread = std::this_thread::get_id();
  }
  void Record(int Count) {
    Counts.push_back(Count);
    if (std::this_thread::get_id() != UiThread) ++OffUiThread;
    if (Depth > 1) ++Nested;  // the caller has already entered
  }
  std::string ReadAll(int Count) {
    std::string s(static_cast<std::size_t>(Count), '\0');
    const int n = Comm.ReadBuf(s.data(), Count);
    s.resize(static_cast<std::size_t>(std::max(n, 0)));
    return s;
  }

  std::thread::id UiThread;
  std::vector<int> Counts;
  int Depth = 0;
  int OffUiThread = 0;
  int Nested = 0;
};

TEST_F(SerialEvents, OneOnRxCharPerBatchWithCountAndReadReturnsItAtOnce) {
  std::string got;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    ++Depth;
    Record(Count);
    got += ReadAll(Count);
    --Depth;
  });
  Comm.Open();
  Pty.Send("hello");
  ASSERT_TRUE(RunUntil([&] { return got.size() == 5; }));
  EXPECT_EQ(got, "hello");
  EXPECT_EQ(Counts, std::vector<int>{5});
  EXPECT_EQ(OffUiThread, 0);
}

TEST_F(SerialEvents, BytesArrivingDuringHandlerGiveExactlyOneMoreCall) {
  std::string got;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    ++Depth;
    Record(Count);
    if (Counts.size() == 1) {
      // Arrives while this call runs; it must not be announced inside it, nor nested.
      Pty.Send("BC");
      for (int i = 0; i < 30000 && Pty.NearInQueue() < 3; ++i) std::this_thread::sleep_for(1ms);
      Loop.RunUntil([] { return false; }, 50ms);  // a modal loop meanwhile serves other calls
      got += ReadAll(1);
    } else {
      got += ReadAll(Count);
    }
    --Depth;
  });
  Comm.Open();
  Pty.Send("A");
  ASSERT_TRUE(RunUntil([&] { return got == "ABC"; }))
      << got << " calls " << Counts.size() << " inq " << Pty.NearInQueue();
  EXPECT_EQ(Counts, (std::vector<int>{1, 2}));
  EXPECT_EQ(Nested, 0);
  EXPECT_EQ(OffUiThread, 0);
}

TEST_F(SerialEvents, UnreadBytesAreCountedAgainOnlyWhenMoreArrive) {
  std::string got;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    Record(Count);
    if (Counts.size() > 1) got += ReadAll(Count);  // the first call leaves its bytes unread
  });
  Comm.Open();
  Pty.Send("xyz");
  ASSERT_TRUE(RunUntil([&] { return Counts.size() == 1; }));
  // Unread bytes alone must not bring another call; give a wrongly level-triggered wait the chance.
  Loop.RunUntil([] { return false; }, 300ms);
  EXPECT_EQ(Counts.size(), 1u);
  Pty.Send("!");
  ASSERT_TRUE(RunUntil([&] { return got.size() == 4; }));
  EXPECT_EQ(got, "xyz!");
  EXPECT_EQ(Counts, (std::vector<int>{3, 4}));
}

TEST_F(SerialEvents, ManyBytesWaitingAtDispatchGiveOneCallWithTheirCount) {
  std::string got;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    Record(Count);
    got += ReadAll(Count);
  });
  Comm.Open();
  // The user-interface thread is busy (not running its loop) while 3000 bytes arrive.
  const std::string block(3000, 'q');
  Pty.Send(block);
  for (int i = 0; i < 30000 && Pty.NearInQueue() < 3000; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(RunUntil([&] { return got.size() == 3000; }));
  ASSERT_FALSE(Counts.empty());
  EXPECT_EQ(Counts.front(), 3000);
  EXPECT_EQ(Counts.size(), 1u);
}

TEST_F(SerialEvents, HandlerExceptionIsShownAndLaterBatchesStillArrive) {
  std::string got;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    Record(Count);
    got += ReadAll(Count);
    if (Counts.size() == 1) throw ESerialCommError("handler failed");
  });
  Comm.Open();
  Pty.Send("1");
  ASSERT_TRUE(RunUntil([&] { return Shown.size() == 1; }));
  EXPECT_EQ(Shown[0], "handler failed");
  Pty.Send("2");
  ASSERT_TRUE(RunUntil([&] { return got == "12"; }));
}

TEST_F(SerialEvents, CloseInsideHandlerIsSafeAndNothingFollows) {
  Comm.SetOnRxChar([&](TSerialCustomComm& Sender, int Count) {
    Record(Count);
    Sender.Close();
  });
  Comm.Open();
  Pty.Send("a");
  ASSERT_TRUE(RunUntil([&] { return !Comm.IsOpen(); }));
  Pty.Send("b");
  Loop.RunUntil([] { return false; }, 100ms);
  EXPECT_EQ(Counts, std::vector<int>{1});
}

class SerialWrite : public SerialFixture {};

TEST_F(SerialWrite, QueuedWriteReturnsCountAndOnTxEmptyFollowsOnUiThread) {
  const auto ui = std::this_thread::get_id();
  int empties = 0;
  bool onUi = true;
  Comm.SetOnTxEmpty([&](TSerialCustomComm&) {
    ++empties;
    onUi = onUi && std::this_thread::get_id() == ui;
  });
  Comm.Open();
  const std::string frame(131, 'f');
  EXPECT_EQ(Comm.WriteBuf(frame.data(), 131), 131);
  EXPECT_EQ(Pty.Receive(131), frame);
  ASSERT_TRUE(RunUntil([&] { return empties >= 1; }));
  EXPECT_TRUE(onUi);
}

TEST_F(SerialWrite, CloseInsideOnTxEmptyIsSafe) {
  int empties = 0;
  Comm.SetOnTxEmpty([&](TSerialCustomComm& Sender) {
    ++empties;
    Sender.Close();  // joins the write thread that is waiting for this very call
  });
  Comm.Open();
  EXPECT_EQ(Comm.WriteBuf("bye", 3), 3);
  ASSERT_TRUE(RunUntil([&] { return !Comm.IsOpen(); }));
  EXPECT_EQ(empties, 1);
  EXPECT_EQ(Pty.Receive(3), "bye");
}

TEST_F(SerialWrite, ZeroCountReturnsZeroAndStillReportsTxEmpty) {
  int empties = 0;
  Comm.SetOnTxEmpty([&](TSerialCustomComm&) { ++empties; });
  Comm.Open();
  EXPECT_EQ(Comm.WriteBuf("", 0), 0);
  ASSERT_TRUE(RunUntil([&] { return empties == 1; }));
}

TEST_F(SerialWrite, ExactFreeRoomIsAcceptedAndOneMoreTimesOut) {
  Comm.Buffers().SetWriteSize(64);
  Comm.Buffers().SetWriteTimeout(50);
  Comm.Open();
  const std::string block(65, 'w');
  EXPECT_EQ(Comm.WriteBuf(block.data(), 64), 64);
  try {
    Comm.WriteBuf(block.data(), 65);
    FAIL() << "a write larger than the queue must time out";
  } catch (const ESerialCommError& e) {
    EXPECT_STREQ(e.what(), "Output buffer is full. Please check comm status.");
  }
  // The queue carries on: the first block still goes out.
  EXPECT_EQ(Pty.Receive(64), block.substr(0, 64));
}

TEST_F(SerialWrite, QueueFullWhileFarEndStallsTimesOutThenDrains) {
  Comm.Buffers().SetWriteSize(1 << 20);
  Comm.Buffers().SetWriteTimeout(50);
  Comm.Open();
  // Far end reads nothing: the driver fills, the queue keeps the rest.
  std::vector<unsigned char> big(1 << 20, 0x5a);
  EXPECT_EQ(Comm.WriteBuf(big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
  EXPECT_THROW(Comm.WriteBuf(big.data(), 1 << 19), ESerialCommError);
  EXPECT_EQ(Pty.Receive(big.size()).size(), big.size());
}

TEST_F(SerialWrite, CloseDiscardsQueuedOutputWithoutTxEmpty) {
  int empties = 0;
  Comm.SetOnTxEmpty([&](TSerialCustomComm&) { ++empties; });
  Comm.Buffers().SetWriteSize(1 << 20);
  Comm.Open();
  std::vector<unsigned char> big(1 << 20, 0x33);
  EXPECT_EQ(Comm.WriteBuf(big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
  Comm.Close();
  Loop.RunUntil([] { return false; }, 100ms);
  EXPECT_EQ(empties, 0);
  const std::size_t arrived = Pty.Receive(big.size(), 200).size();
  EXPECT_LT(arrived, big.size());
}

TEST_F(SerialWrite, DirectWriteSendsAndReturnsCount) {
  Comm.SetDirectWrite(true);
  Comm.Open();
  EXPECT_EQ(Comm.WriteBuf("direct", 6), 6);
  EXPECT_EQ(Pty.Receive(6), "direct");
}

TEST_F(SerialWrite, DirectWriteIntoStalledFarEndReturnsWhatWasTakenAfterReadTimeout) {
  Comm.SetDirectWrite(true);
  Comm.Buffers().SetReadTimeout(50);
  Comm.Buffers().SetWriteTimeout(1);  // not used in direct mode
  Comm.Open();
  std::vector<unsigned char> big(1 << 20, 0x11);
  const int written = Comm.WriteBuf(big.data(), static_cast<int>(big.size()));
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(big.size()));
  EXPECT_EQ(Pty.Receive(static_cast<std::size_t>(written)).size(), static_cast<std::size_t>(written));
}

TEST_F(SerialWrite, ClosedComponentReadsAndWritesNothing) {
  char buf[4];
  EXPECT_EQ(Comm.WriteBuf("abc", 3), 0);
  EXPECT_EQ(Comm.ReadBuf(buf, 4), 0);
  EXPECT_EQ(Comm.InQueueCount(), 0);
  TSerialCommStatus status;
  status.cbInQue = 7;
  Comm.GetCommStatus(status);
  EXPECT_EQ(status.cbInQue, 0u);
}

class SerialRead : public SerialFixture {};

TEST_F(SerialRead, NothingWaitingReturnsZeroAfterReadTimeout) {
  Comm.Buffers().SetReadTimeout(50);
  Comm.Open();
  char buf[8];
  EXPECT_EQ(Comm.ReadBuf(buf, 8), 0);
}

TEST_F(SerialRead, MoreRequestedThanWaitingReturnsWhatCameBeforeTheGap) {
  Comm.Open();
  Pty.Send("12345");
  while (Pty.NearInQueue() < 5) std::this_thread::sleep_for(1ms);
  char buf[10] = {};
  EXPECT_EQ(Comm.ReadBuf(buf, 10), 5);
  EXPECT_EQ(std::string(buf, 5), "12345");
}

TEST_F(SerialRead, BytesTricklingInAreCollectedUntilCount) {
  Comm.Open();
  std::thread far([&] {
    for (char c : std::string("abcd")) {
      Pty.Send(std::string(1, c));
      std::this_thread::sleep_for(1ms);
    }
  });
  // The first byte is awaited for up to ReadTimeout; what follows within short gaps joins it.
  std::string got;
  char buf[4];
  while (got.size() < 4) {
    const int n = Comm.ReadBuf(buf, static_cast<int>(4 - got.size()));
    ASSERT_GT(n, 0);
    got.append(buf, static_cast<std::size_t>(n));
  }
  far.join();
  EXPECT_EQ(got, "abcd");
}

// DispatchEvents with every event bit set: the handlers fire in dispatch order, and an exception from
// one of them leaves DispatchEvents at once, skipping the rest of the batch.
struct DispatchCase {
  const char* Name;
  const char* Throwing;              // the handler that raises, "" for none
  std::vector<std::string> Unbound;  // handlers left unbound: skipped silently
  std::vector<std::string> Fired;    // in order
};
void PrintTo(const DispatchCase& C, std::ostream* Out) { *Out << C.Name; }

class SerialDispatch : public SerialFixture, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(SerialDispatch, HandlersFireInOrderUntilOneRaises) {
  const DispatchCase& C = GetParam();
  std::vector<std::string> fired;
  const auto bind = [&](const std::string& Name, void (TSerialCustomComm::*Setter)(TNotifyEvent)) {
    if (std::find(C.Unbound.begin(), C.Unbound.end(), Name) != C.Unbound.end()) return;
    (Comm.*Setter)([&fired, Name, &C](TSerialCustomComm&) {
      fired.push_back(Name);
      if (Name == C.Throwing) throw std::runtime_error("from " + Name);
    });
  };
  // Bound in an order other than the dispatch order, so that the order seen is the dispatcher's own.
  bind("Event2", &TSerialCustomComm::SetOnEvent2);
  bind("TxEmpty", &TSerialCustomComm::SetOnTxEmpty);
  bind("Cts", &TSerialCustomComm::SetOnCts);
  bind("Break", &TSerialCustomComm::SetOnBreak);
  bind("RxFlag", &TSerialCustomComm::SetOnRxFlag);
  bind("Rx80Full", &TSerialCustomComm::SetOnRx80Full);
  bind("Ring", &TSerialCustomComm::SetOnRing);
  bind("Dsr", &TSerialCustomComm::SetOnDsr);
  bind("PErr", &TSerialCustomComm::SetOnPErr);
  bind("Rlsd", &TSerialCustomComm::SetOnRlsd);
  bind("Event1", &TSerialCustomComm::SetOnEvent1);
  int errors = 0, rxChars = 0;
  Comm.SetOnError([&](TSerialCustomComm&, int) { ++errors; });
  Comm.SetOnRxChar([&](TSerialCustomComm&, int) { ++rxChars; });
  Comm.Open();

  const std::uint32_t every = EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR |
                              EV_RING | EV_PERR | EV_RX80FULL | EV_EVENT1 | EV_EVENT2;
  if (*C.Throwing) {
    EXPECT_THROW(Comm.DispatchEvents(every), std::runtime_error) << "DispatchEvents itself catches nothing";
  } else {
    EXPECT_NO_THROW(Comm.DispatchEvents(every));
  }
  EXPECT_EQ(fired, C.Fired);
  EXPECT_EQ(errors, 0) << "a pseudo-terminal reports no line errors";
  EXPECT_EQ(rxChars, 0) << "received data is announced by DoRxChar only";
  EXPECT_TRUE(Shown.empty());
  Comm.Close();  // before the handlers' captures go out of scope
}

const std::vector<std::string> kDispatchOrder = {"RxFlag", "Cts",  "Dsr",      "Ring",   "Rlsd",  "TxEmpty",
                                                 "Break",  "PErr", "Rx80Full", "Event1", "Event2"};

std::vector<std::string> OrderUpTo(const std::string& Last) {
  auto end = std::find(kDispatchOrder.begin(), kDispatchOrder.end(), Last);
  return std::vector<std::string>(kDispatchOrder.begin(), end + 1);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    EveryBit, SerialDispatch,
    ::testing::Values(DispatchCase{"AllFireInDispatchOrder", "", {}, kDispatchOrder},
                      DispatchCase{"RaiseInTheFirstSkipsAllOthers", "RxFlag", {}, {"RxFlag"}},
                      DispatchCase{"RaiseInTheMiddleSkipsTheRest", "TxEmpty", {}, OrderUpTo("TxEmpty")},
                      DispatchCase{"RaiseInTheLastRunsAllBefore", "Event2", {}, kDispatchOrder},
                      DispatchCase{"UnboundHandlersAreSkipped", "", {"Cts", "Rlsd", "Event1"},
                                   {"RxFlag", "Dsr", "Ring", "TxEmpty", "Break", "PErr", "Rx80Full", "Event2"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(SerialRead, InQueueCountSeesWaitingBytes) {
  Comm.Open();
  Pty.Send("abc");
  while (Pty.NearInQueue() < 3) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(Comm.InQueueCount(), 3);
  TSerialCommStatus status;
  Comm.GetCommStatus(status);
  EXPECT_EQ(status.cbInQue, 3u);
  EXPECT_EQ(status.Errors, 0u);  // pseudo-terminals keep no error counters
}

// The optional line-status control: informed at each batch, forgotten when it is destroyed.
class TCountingDisplay : public TSerialDisplay {
 public:
  void SerialStatusChanged(TSerialCustomComm&) override { ++Batches; }
  int Batches = 0;
};

class SerialDisplay : public SerialEvents {};

TEST_F(SerialDisplay, IsInformedPerBatchAndClearedWhenItsControlIsDestroyed) {
  auto display = std::make_unique<TCountingDisplay>();
  auto other = std::make_unique<TCountingDisplay>();
  TSerialComm second;  // a second component pointing at the same control
  Comm.SetDisplay(other.get());
  Comm.SetDisplay(display.get());
  second.SetDisplay(display.get());
  other.reset();  // no longer Comm's: leaves it alone
  EXPECT_EQ(Comm.Display(), display.get());

  int calls = 0;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    ++calls;
    ReadAll(Count);
  });
  Comm.Open();
  Pty.Send("a");
  ASSERT_TRUE(RunUntil([&] { return calls == 1; }));
  EXPECT_GE(display->Batches, 1);

  display.reset();
  EXPECT_EQ(Comm.Display(), nullptr);
  EXPECT_EQ(second.Display(), nullptr);
  // The next batch runs without it (a dangling control would be used here).
  Pty.Send("b");
  EXPECT_TRUE(RunUntil([&] { return calls == 2; }));
  EXPECT_TRUE(Shown.empty());
}

TEST_F(SerialDisplay, AComponentDestroyedFirstIsNotNotifiedLater) {
  TCountingDisplay display;
  {
    TSerialComm gone;
    gone.SetDisplay(&display);
  }
  Comm.SetDisplay(&display);
  SUCCEED();  // the display's destruction at the end must not reach the destroyed component
}

// The receive threshold: the bytes an exchange brings, however the line splits them, give one
// OnRxChar; fewer than the threshold are still reported once the line goes quiet.
struct TThresholdCase {
  const char* Name;
  std::vector<int> Pieces;  // sent with a short gap (well under the quiet time) between them
  int Threshold;
};
void PrintTo(const TThresholdCase& C, std::ostream* Out) { *Out << C.Name; }

class SerialThreshold : public SerialEvents, public ::testing::WithParamInterface<TThresholdCase> {};

TEST_P(SerialThreshold, OneCallForTheWholeExchange) {
  const TThresholdCase& C = GetParam();
  std::string got;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    Record(Count);
    got += ReadAll(Count);
  });
  Comm.Open();
  Comm.SetReceiveThreshold(C.Threshold);
  std::string sent;
  char next = 'a';
  for (const int piece : C.Pieces) {
    std::string part;
    for (int i = 0; i < piece; ++i) part += next++;
    Pty.Send(part);
    sent += part;
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_TRUE(RunUntil([&] { return got.size() == sent.size(); })) << got;
  Loop.RunUntil([] { return false; }, 100ms);  // nothing more may follow
  EXPECT_EQ(got, sent);
  EXPECT_EQ(Counts, std::vector<int>{static_cast<int>(sent.size())});
  EXPECT_TRUE(Shown.empty());
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Splits, SerialThreshold,
    ::testing::Values(TThresholdCase{"AllAtOnce", {132}, 132}, TThresholdCase{"EchoThenReply", {131, 1}, 132},
                      TThresholdCase{"FirstByteThenRest", {1, 131}, 132},
                      TThresholdCase{"ByteByByte", std::vector<int>(12, 1), 12},
                      TThresholdCase{"ThreePieces", {40, 50, 42}, 132},
                      TThresholdCase{"WrongReplyAlone", {1}, 132},
                      TThresholdCase{"EchoWithoutReply", {131}, 132}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(SerialEvents, HangUpBeforeTheThresholdIsReportedAsLost) {
  int lost = 0;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) { ReadAll(Count); });
  Comm.SetOnDeviceLost([&](TSerialCustomComm&) { ++lost; });
  Comm.Open();
  Comm.SetReceiveThreshold(132);
  Pty.Send("abc");
  ::close(Pty.Master);
  Pty.Master = -1;
  ASSERT_TRUE(RunUntil([&] { return lost == 1; }));
  EXPECT_FALSE(Comm.IsOpen());
  ASSERT_EQ(Shown.size(), 1u);
}

}  // namespace
}  // namespace hexloader::testing_serial
