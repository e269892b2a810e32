// The network line against device servers played by the test: opening (the negotiation, the settings,
// the purge) and each way it fails, the bytes both ways, the watch the event thread will make, and a
// connection that breaks.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <numeric>
#include <thread>

#include "serial/network_line.h"
#include "serial/network_line_error.h"
#include "serial/network_line_opening.h"
#include "serial/serial_event.h"
#include "tests/network/fake_com_port_server.h"

namespace hexloader::test {
namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using K = TNetworkLineFailure;

constexpr std::uint8_t IAC = 255, SB = 250, SE = 240;

long MsSince(TClock::time_point Start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Start).count());
}

TSerialLineSettings LoaderLine(std::int32_t Rate) {
  TSerialLineSettings s;
  s.BaudRate = Rate;
  return s;
}

// Short limits, so that the failures that wait for one come quickly.
TNetworkLineTimes ShortTimes() { return {2000, 500, 300}; }

std::unique_ptr<TNetworkLine> OpenLine(const TNetworkPortAddress& Address, TNetworkLineFailure& Failure,
                                       const TSerialLineSettings* Settings, TNetworkLineTimes Times = {}) {
  return TNetworkLine::Open(Address, Times, Settings, nullptr, Failure);
}

TBytes AllBytes() {
  TBytes bytes(256);
  std::iota(bytes.begin(), bytes.end(), 0);
  return bytes;
}

TBytes ReadExactly(TNetworkLine& Line, std::size_t Count) {
  TBytes got(Count);
  int n = 0;
  EXPECT_EQ(Line.Read(got.data(), static_cast<int>(Count), 3000, 1000, n), 0);
  got.resize(static_cast<std::size_t>(n));
  return got;
}

TEST(NetworkLine, OpensSetsTheLineAndCarriesEveryByteUnchangedBothWays) {
  TServerScript script;
  script.EchoData = true;
  TFakeComPortServer server(script);
  TNetworkLineFailure failure;
  const TSerialLineSettings settings = LoaderLine(57600);
  auto line = OpenLine(server.Address(), failure, &settings);
  ASSERT_TRUE(line) << NetworkLineFailureText(failure);

  // The settings, then the purge, as the server read them.
  const std::vector<TBytes> expected{{1, 0, 0, 0xE1, 0}, {2, 8}, {3, 1}, {4, 1}, {5, 1}, {5, 9}, {5, 12}, {12, 3}};
  EXPECT_EQ(server.Requests(), expected);

  // 0xFF, 0x0D and 0x0A among them: no byte doubled or lost on the way, no line end translated.
  const TBytes bytes = AllBytes();
  int written = 0;
  ASSERT_EQ(line->WriteSome(bytes.data(), static_cast<int>(bytes.size()), written), 0);
  EXPECT_EQ(written, 256);
  ASSERT_TRUE(server.AwaitClientData(256, 3000));
  EXPECT_EQ(server.ClientData(), bytes);
  EXPECT_EQ(ReadExactly(*line, 256), bytes);

  // The same settings again cost nothing; others are sent and confirmed.
  EXPECT_EQ(line->ApplyLineSettings(settings), 0);
  EXPECT_EQ(server.Requests().size(), expected.size());
  EXPECT_EQ(line->ApplyLineSettings(LoaderLine(19200)), 0);
  EXPECT_EQ(server.Requests()[expected.size()], (TBytes{1, 0, 0, 0x4B, 0}));
}

TEST(NetworkLine, AServerWhoseAnswersComeByteByByteIsUnderstood) {
  TServerScript script;
  script.AnswerByteByByte = true;
  script.AfterPurgeAnswer = {0xFF, 0x0D, 0x0A};
  TFakeComPortServer server(script);
  TNetworkLineFailure failure;
  const TSerialLineSettings settings = LoaderLine(19200);
  auto line = OpenLine(server.Address(), failure, &settings);
  ASSERT_TRUE(line) << NetworkLineFailureText(failure);
  EXPECT_EQ(ReadExactly(*line, 3), (TBytes{0xFF, 0x0D, 0x0A}));
}

TEST(NetworkLine, BytesTheServerHeldFromBeforeThePurgeAreDropped) {
  TServerScript script;
  script.BeforePurgeAnswer = {0x55, 1, 2};  // a stale hello must not start an upload
  script.AfterPurgeAnswer = {0x55};
  TFakeComPortServer server(script);
  TNetworkLineFailure failure;
  auto line = OpenLine(server.Address(), failure, nullptr);
  ASSERT_TRUE(line) << NetworkLineFailureText(failure);
  EXPECT_EQ(ReadExactly(*line, 1), (TBytes{0x55}));
  TSerialCommStatus status;
  EXPECT_EQ(line->GetStatus(status), 0);
  EXPECT_EQ(status.cbInQue, 0u);
}

TEST(NetworkLine, EachWayOfOpeningToFailSaysWhatHappened) {
  struct TCase {
    const char* What;
    TServerScript Script;
    K::TKind Kind;
    const char* Says;
  };
  TServerScript silent;
  silent.Greeting = {};
  silent.AnswerNegotiation = false;
  TServerScript refusesComPort;
  refusesComPort.Greeting = {IAC, 253, 0, IAC, 251, 0, IAC, 254, 44};
  TServerScript busy;
  busy.CloseAfterGreeting = true;
  busy.CloseText = {'P', 'o', 'r', 't', ' ', 'a', 'l', 'r', 'e',  'a', 'd',
                    'y', ' ', 'i', 'n', ' ', 'u', 's', 'e', '\r', '\n'};
  TServerScript wrongRate;
  wrongRate.Answer[1] = 9600;
  TServerScript wrongParity;
  wrongParity.Answer[3] = 3;
  TServerScript noDataBits;
  noDataBits.Unanswered = {2};
  TServerScript noPurge;
  noPurge.Unanswered = {12};
  // clang-format off
  const TCase cases[] = {
      {"never negotiates",    silent,         K::NoNegotiation,      "did not negotiate RFC 2217 within 1 s"},
      {"refuses COM port",    refusesComPort, K::OptionRefused,      "refused the COM port option (RFC 2217)"},
      {"busy",                busy,           K::ClosedByServer,     "closed the connection: \"Port already in use\""},
      {"another rate",        wrongRate,      K::SettingRefused,     "set the bit rate 9600 instead of 57600"},
      {"another parity",      wrongParity,    K::SettingRefused,     "set the parity even instead of none"},
      {"no data bits answer", noDataBits,     K::SettingUnconfirmed, "did not confirm the data bits within 1 s"},
      {"no purge answer",     noPurge,        K::SettingUnconfirmed, "did not confirm the purge of its buffers"},
  };
  // clang-format on
  for (const TCase& c : cases) {
    TFakeComPortServer server(c.Script);
    const TSerialLineSettings settings = LoaderLine(57600);
    TNetworkLineFailure failure;
    const auto start = TClock::now();
    EXPECT_FALSE(OpenLine(server.Address(), failure, &settings, ShortTimes())) << c.What;
    EXPECT_LT(MsSince(start), 2500) << c.What;
    EXPECT_EQ(failure.Kind, c.Kind) << c.What;
    const std::string name = NetworkPortName(server.Address());
    const std::string message = NetworkOpenFailureMessage(name, failure);
    EXPECT_EQ(message.rfind("Can't open specified device " + name + " (the server at 127.0.0.1 port " +
                                std::to_string(server.Address().Port) + " ",
                            0),
              0u)
        << c.What << ": " << message;
    EXPECT_NE(message.find(c.Says), std::string::npos) << c.What << ": " << message;
  }
}

TEST(NetworkLine, ARefusedSettingOnAnOpenLineIsTheComponentsDcbError) {
  TServerScript script;
  script.Answer[1] = 9600;
  TFakeComPortServer server(script);
  TNetworkLineFailure failure;
  auto line = OpenLine(server.Address(), failure, nullptr, ShortTimes());
  ASSERT_TRUE(line) << NetworkLineFailureText(failure);
  EXPECT_EQ(line->ApplyLineSettings(LoaderLine(57600), &failure), EINVAL);
  EXPECT_EQ(failure.Kind, K::SettingRefused);
  EXPECT_EQ(NetworkSettingFailureMessage(failure),
            "Error writing dcb (22), Invalid argument: the server at 127.0.0.1 port " +
                std::to_string(server.Address().Port) + " set the bit rate 9600 instead of 57600");
  // Not taken as applied: asked again, it is sent again.
  const std::size_t sent = server.Requests().size();
  EXPECT_EQ(line->ApplyLineSettings(LoaderLine(57600), &failure), EINVAL);
  EXPECT_GT(server.Requests().size(), sent);
}

TEST(NetworkLine, APlainTcpServerIsRefusedWithItsDataCounted) {
  TLoopbackServer server([](int Fd, const std::atomic<bool>& Stopping) {
    SendAll(Fd, {'h', 'e', 'l', 'l', 'o', '\r', '\n'});
    while (!Stopping.load() && !ReadSome(Fd, 4096, 20).empty()) {}
    while (!Stopping.load()) std::this_thread::sleep_for(10ms);
  });
  TNetworkLineFailure failure;
  EXPECT_FALSE(OpenLine(server.Address(), failure, nullptr, ShortTimes()));
  EXPECT_EQ(failure.Kind, K::NoNegotiation);
  EXPECT_EQ(failure.DataBytes, 7u);
  EXPECT_NE(NetworkLineFailureText(failure).find("it sent 7 bytes of plain data, as a raw TCP port does"),
            std::string::npos)
      << NetworkLineFailureText(failure);
}

TEST(NetworkLine, NothingListeningIsSaidWithHostAndPort) {
  const TNetworkPortAddress address{"127.0.0.1", FreeLoopbackPort()};
  TNetworkLineFailure failure;
  EXPECT_FALSE(OpenLine(address, failure, nullptr));
  EXPECT_EQ(failure.Kind, K::NothingListening);
  EXPECT_EQ(NetworkOpenFailureMessage(NetworkPortName(address), failure),
            "Can't open specified device " + NetworkPortName(address) + " (nothing listens on 127.0.0.1 port " +
                std::to_string(address.Port) + ": Connection refused)");
}

TEST(NetworkLine, AnUnknownHostIsSaidWithinTheDeadline) {
  const auto start = TClock::now();
  TNetworkLineFailure failure;
  EXPECT_FALSE(OpenLine({"no-such-host.invalid", 4001}, failure, nullptr, ShortTimes()));
  EXPECT_LT(MsSince(start), 2500);
  ASSERT_TRUE(failure.Kind == K::UnknownHost || failure.Kind == K::ResolveTimedOut) << failure.Kind;
  const std::string text = NetworkLineFailureText(failure);
  EXPECT_TRUE(text.rfind("host no-such-host.invalid not found", 0) == 0 ||
              text.rfind("no answer about host no-such-host.invalid within 2 s", 0) == 0)
      << text;
}

// The watch, as the event thread will run it, on its own thread.
class TWatchFixture : public ::testing::Test {
 protected:
  void Open(TServerScript Script = {}) {
    Server = std::make_unique<TFakeComPortServer>(std::move(Script));
    TNetworkLineFailure failure;
    const TSerialLineSettings settings = LoaderLine(115200);
    Line = OpenLine(Server->Address(), failure, &settings);
    ASSERT_TRUE(Line) << NetworkLineFailureText(failure);
    Line->StartWatch(EV_RXCHAR | EV_CTS | EV_DSR | EV_ERR | EV_BREAK, Wake);
  }
  void TearDown() override {
    if (Line) Line->StopWatch();
  }
  // One wait, with a guard against a wait that never ends.
  TNetworkWait WaitOnce(std::uint32_t& Occurred, int GuardMs = 3000) {
    std::atomic<bool> done{false};
    std::thread guard([&] {
      const auto until = TClock::now() + std::chrono::milliseconds(GuardMs);
      while (!done.load() && TClock::now() < until) std::this_thread::sleep_for(1ms);
      if (!done.load()) Wake.Signal();
    });
    const TNetworkWait wait = Line->Wait(Occurred);
    done = true;
    guard.join();
    return wait;
  }

  TSerialEvent Wake;
  std::unique_ptr<TFakeComPortServer> Server;
  std::unique_ptr<TNetworkLine> Line;
};

TEST_F(TWatchFixture, ReceivedBytesAndNotificationsAreLineEvents) {
  ASSERT_NO_FATAL_FAILURE(Open());
  Server->Send({0x41, IAC, IAC});
  std::uint32_t occurred = 0;
  ASSERT_EQ(WaitOnce(occurred).Kind, TNetworkWait::Done);
  EXPECT_EQ(occurred, EV_RXCHAR);
  TSerialCommStatus status;
  // The two bytes may come in two segments: what has come by now is what the queue counts.
  ASSERT_EQ(Line->GetStatus(status), 0);
  if (status.cbInQue < 2) {
    ASSERT_EQ(WaitOnce(occurred).Kind, TNetworkWait::Done);
    ASSERT_EQ(Line->GetStatus(status), 0);
  }
  EXPECT_EQ(status.cbInQue, 2u);
  EXPECT_EQ(ReadExactly(*Line, 2), (TBytes{0x41, 0xFF}));

  // A modem line's change and a line error.
  Server->Send({IAC, SB, 44, 107, 0x11, IAC, SE, IAC, SB, 44, 106, 0x02, IAC, SE});
  occurred = 0;
  const auto start = TClock::now();
  while (occurred != (EV_CTS | EV_ERR) && MsSince(start) < 2000) {
    std::uint32_t more = 0;
    ASSERT_EQ(WaitOnce(more).Kind, TNetworkWait::Done);
    occurred |= more;
  }
  EXPECT_EQ(occurred, EV_CTS | EV_ERR);
  ASSERT_EQ(Line->GetStatus(status), 0);
  EXPECT_EQ(status.Errors, CE_OVERRUN);
  ASSERT_EQ(Line->GetStatus(status), 0);
  EXPECT_EQ(status.Errors, 0u);  // cleared by the previous query
  EXPECT_EQ(Line->LineStatus().ModemState, 0x11);
}

TEST_F(TWatchFixture, AThresholdGathersTheBytesOfAReply) {
  ASSERT_NO_FATAL_FAILURE(Open());
  Line->SetReceiveThreshold(6);
  Server->Send({1, 2, 3});
  std::thread later([&] {
    std::this_thread::sleep_for(5ms);
    Server->Send({4, 5, 6});
  });
  std::uint32_t occurred = 0;
  ASSERT_EQ(WaitOnce(occurred).Kind, TNetworkWait::Done);
  later.join();
  EXPECT_EQ(occurred, EV_RXCHAR);
  TSerialCommStatus status;
  ASSERT_EQ(Line->GetStatus(status), 0);
  EXPECT_EQ(status.cbInQue, 6u);  // one report for the whole reply
  ReadExactly(*Line, 6);

  // A short reply is reported once the line has been quiet.
  Server->Send({7, 8});
  const auto start = TClock::now();
  ASSERT_EQ(WaitOnce(occurred).Kind, TNetworkWait::Done);
  EXPECT_EQ(occurred, EV_RXCHAR);
  EXPECT_GE(MsSince(start), TReceivePacer::QuietMs - 2);
}

TEST_F(TWatchFixture, TheWakeObjectEndsAWait) {
  ASSERT_NO_FATAL_FAILURE(Open());
  std::thread waker([&] {
    std::this_thread::sleep_for(50ms);
    Wake.Signal();
  });
  std::uint32_t occurred = 0;
  EXPECT_EQ(Line->Wait(occurred).Kind, TNetworkWait::Woken);
  waker.join();
  Wake.Reset();
}

TEST_F(TWatchFixture, AServerThatClosesHasItsLastBytesReportedThenTheLineIsGone) {
  ASSERT_NO_FATAL_FAILURE(Open());
  Server->Send({9, 8, 7});
  std::this_thread::sleep_for(20ms);
  Server->CloseClient();
  std::uint32_t occurred = 0;
  TNetworkWait wait = WaitOnce(occurred);
  ASSERT_EQ(wait.Kind, TNetworkWait::Done);
  EXPECT_EQ(occurred, EV_RXCHAR);
  wait = WaitOnce(occurred);
  ASSERT_EQ(wait.Kind, TNetworkWait::Failed);
  EXPECT_EQ(wait.Code, ECONNRESET);
  EXPECT_TRUE(Line->IsGone(wait.Code));
  // The bytes before the end are still read; then every call reports it.
  EXPECT_EQ(ReadExactly(*Line, 3), (TBytes{9, 8, 7}));
  int n = 0;
  std::uint8_t b;
  EXPECT_EQ(Line->Read(&b, 1, 100, 10, n), ECONNRESET);
  TSerialCommStatus status;
  EXPECT_EQ(Line->GetStatus(status), ECONNRESET);
  EXPECT_EQ(Line->WriteSome(&b, 1, n), ECONNRESET);
}

TEST_F(TWatchFixture, OutputAServerIsSlowToTakeArrivesWholeAndInOrder) {
  ASSERT_NO_FATAL_FAILURE(Open());
  Server->Stall(true);
  // Writes as the write thread does, while the watch runs as the event thread does.
  TBytes data(8 << 20);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 7 == 0 ? 0xFF : i * 31);
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    while (!stop.load()) {
      std::uint32_t occurred = 0;
      if (Line->Wait(occurred).Kind == TNetworkWait::Woken) Wake.Reset();
    }
  });
  TSerialEvent cancel;
  std::atomic<int> refused{0};  // writes the line could not take: the path under test
  std::thread writer([&] {
    std::size_t done = 0;
    while (done < data.size()) {
      int n = 0;
      const int chunk = static_cast<int>(std::min<std::size_t>(2048, data.size() - done));
      const int e = Line->WriteSome(data.data() + done, chunk, n);
      if (e == EAGAIN) {
        ++refused;
        if (Line->WaitWritable(cancel).Kind != TNetworkWait::Done) return;
        continue;
      }
      if (e != 0) return;
      done += static_cast<std::size_t>(n);
    }
  });
  // The connection fills up: the line keeps what the system would not take, and refuses more.
  const auto start = TClock::now();
  while (refused.load() == 0 && MsSince(start) < 5000) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(20ms);
  Server->Stall(false);
  writer.join();
  EXPECT_TRUE(Server->AwaitClientData(data.size(), 10000));
  stop = true;
  Wake.Signal();
  watcher.join();
  EXPECT_TRUE(Server->ClientData() == data);
  EXPECT_GT(refused.load(), 0);
}

TEST(NetworkLineOpening, RunsOffTheCallersThreadAndSaysWhenItHasEnded) {
  TFakeComPortServer server(TServerScript{});
  std::atomic<int> finished{0};
  TNetworkLineOpening opening(server.Address(), {}, LoaderLine(19200), [&] { ++finished; });
  ASSERT_TRUE(opening.WaitFinished(5000));
  EXPECT_TRUE(opening.IsFinished());
  auto line = opening.TakeLine();
  ASSERT_TRUE(line) << NetworkLineFailureText(opening.Failure());
  EXPECT_FALSE(opening.TakeLine());
  // OnFinished runs after the signal, on the worker: the destructor's join covers it.
}

TEST(NetworkLineOpening, ACancelOrTheOwnersEndStopsAnOpeningUnderWay) {
  TServerScript silent;
  silent.Greeting = {};
  silent.AnswerNegotiation = false;
  TFakeComPortServer server(silent);
  const TNetworkLineTimes slow{5000, 10000, 2000};
  {
    TNetworkLineOpening opening(server.Address(), slow, std::nullopt);
    std::this_thread::sleep_for(100ms);
    const auto start = TClock::now();
    opening.Cancel();
    ASSERT_TRUE(opening.WaitFinished(2000));
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_FALSE(opening.TakeLine());
    EXPECT_EQ(opening.Failure().Kind, K::Cancelled);
  }
  const auto start = TClock::now();
  {
    TNetworkLineOpening opening(server.Address(), slow, std::nullopt);
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_LT(MsSince(start), 2000);
}

}  // namespace
}  // namespace hexloader::test
