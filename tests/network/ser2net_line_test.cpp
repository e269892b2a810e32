// The network line against Debian's ser2net in front of hexloader-sim's pseudo-terminal: every byte
// value both ways, the bit rate reaching the far side, a port another client holds, the server stopped
// while the line is in use.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <numeric>
#include <sstream>
#include <thread>

#include "serial/network_line.h"
#include "serial/network_line_error.h"
#include "serial/serial_event.h"
#include "tests/network/ser2net_server.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

using TClock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

TSerialLineSettings LoaderLine(std::int32_t Rate) {
  TSerialLineSettings s;
  s.BaudRate = Rate;
  return s;
}

std::unique_ptr<TNetworkLine> OpenLine(const TSer2netServer& Server, std::int32_t Rate) {
  TNetworkLineFailure failure;
  const TSerialLineSettings settings = LoaderLine(Rate);
  auto line = TNetworkLine::Open(Server.Address(), {}, &settings, nullptr, failure);
  EXPECT_TRUE(line) << NetworkOpenFailureMessage(Server.Name(), failure);
  return line;
}

Bytes ReadExactly(TNetworkLine& Line, std::size_t Count) {
  Bytes got(Count);
  int n = 0;
  EXPECT_EQ(Line.Read(got.data(), static_cast<int>(Count), 5000, 2000, n), 0);
  got.resize(static_cast<std::size_t>(n));
  return got;
}

void WriteAll(TNetworkLine& Line, const Bytes& Data) {
  int n = 0;
  ASSERT_EQ(Line.Write(Data.data(), static_cast<int>(Data.size()), 5000, n), 0);
  ASSERT_EQ(n, static_cast<int>(Data.size()));
}

// A data frame of the loader's protocol: kind, address (big-endian), 128 bytes.
Bytes DataFrame(std::uint16_t Address, const Bytes& Data) {
  Bytes frame{0x22, static_cast<std::uint8_t>(Address >> 8), static_cast<std::uint8_t>(Address)};
  frame.insert(frame.end(), Data.begin(), Data.end());
  return frame;
}

std::string ReadText(const std::string& Path) {
  std::ifstream in(Path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// As the guide configures ser2net, and as it comes (its delays on both sides).
class TSer2netConfigurations : public ::testing::TestWithParam<TSer2netDelays> {};

TEST_P(TSer2netConfigurations, EveryByteValueCrossesUnchangedBothWays) {
  TTempDir dir;
  // No hello during the test: the line carries only what the test sends and the device's answers.
  TSimProcess sim({"--hello-delay", "600000", "--memory", dir.File("mem.bin")});
  TSer2netServer server({sim.PortPath()}, GetParam());
  auto line = OpenLine(server, 19200);
  ASSERT_TRUE(line);

  Bytes all(256);
  std::iota(all.begin(), all.end(), 0);  // 0xFF, 0x0D and 0x0A among them
  const Bytes first = DataFrame(0x0000, Bytes(all.begin(), all.begin() + 128));
  const Bytes second = DataFrame(0x0080, Bytes(all.begin() + 128, all.end()));
  const Bytes end{0x99, 0x00, 0x00};
  Bytes sent = first;
  sent.insert(sent.end(), second.begin(), second.end());
  sent.insert(sent.end(), end.begin(), end.end());
  ASSERT_NO_FATAL_FAILURE(WriteAll(*line, sent));

  // The device's echo of every byte and its checksum reply after each data frame.
  Bytes expected = first;
  expected.push_back(SumOf(first));
  expected.insert(expected.end(), second.begin(), second.end());
  expected.push_back(SumOf(second));
  expected.insert(expected.end(), end.begin(), end.end());
  EXPECT_EQ(ReadExactly(*line, expected.size()), expected);

  // What the device took, byte for byte: written at the end frame, before its echo left.
  const Bytes memory = ReadFile(dir.File("mem.bin"));
  ASSERT_GE(memory.size(), 256u);
  EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 256), all);
}

INSTANTIATE_TEST_SUITE_P(Ser2netLine, TSer2netConfigurations,
                         ::testing::Values(TSer2netDelays{false, false}, TSer2netDelays{true, true}),
                         [](const ::testing::TestParamInfo<TSer2netDelays>& Info) {
                           return Info.param.Nagle ? "AsItComes" : "AsTheGuideSays";
                         });

TEST(Ser2netLine, TheBitRateAskedForIsWhatThePseudoTerminalGets) {
  TTempDir dir;
  const std::string log = dir.File("sim.log");
  TSimProcess sim({"--hello-delay", "600000"}, 1, log);
  TSer2netServer server({sim.PortPath()});
  auto line = OpenLine(server, 57600);
  ASSERT_TRUE(line);
  // A byte that starts no frame: the device only echoes it, and says the line it came at.
  ASSERT_NO_FATAL_FAILURE(WriteAll(*line, {0x00}));
  EXPECT_EQ(ReadExactly(*line, 1), Bytes{0x00});
  ASSERT_EQ(line->ApplyLineSettings(LoaderLine(19200)), 0);
  ASSERT_NO_FATAL_FAILURE(WriteAll(*line, {0x01}));
  EXPECT_EQ(ReadExactly(*line, 1), Bytes{0x01});
  line.reset();
  sim.Stop();
  const std::string text = ReadText(log);
  const std::size_t fast = text.find("line set to 57600 bit/s 8N1");
  const std::size_t slow = text.find("line set to 19200 bit/s 8N1");
  EXPECT_NE(fast, std::string::npos) << text;
  EXPECT_NE(slow, std::string::npos) << text;
  EXPECT_LT(fast, slow) << text;
}

TEST(Ser2netLine, APortAnotherClientHoldsIsRefusedInTheServersWords) {
  TSimProcess sim({"--hello-delay", "600000"});
  TSer2netServer server({sim.PortPath()});
  auto first = OpenLine(server, 19200);
  ASSERT_TRUE(first);
  const TSerialLineSettings settings = LoaderLine(19200);
  TNetworkLineFailure failure;
  EXPECT_FALSE(TNetworkLine::Open(server.Address(), {}, &settings, nullptr, failure));
  EXPECT_EQ(failure.Kind, TNetworkLineFailure::ClosedByServer);
  EXPECT_EQ(failure.Detail, "Port already in use");
  EXPECT_EQ(NetworkOpenFailureMessage(server.Name(), failure),
            "Can't open specified device " + server.Name() + " (the server at 127.0.0.1 port " +
                std::to_string(server.Port()) + " closed the connection: \"Port already in use\")");
  // The first client's line still works.
  ASSERT_NO_FATAL_FAILURE(WriteAll(*first, {0x00}));
  EXPECT_EQ(ReadExactly(*first, 1), Bytes{0x00});
}

TEST(Ser2netLine, TheServerStoppedWhileTheLineIsInUseEndsTheLine) {
  TSimProcess sim({"--hello-delay", "600000"});
  TSer2netServer server({sim.PortPath()});
  auto line = OpenLine(server, 19200);
  ASSERT_TRUE(line);
  TSerialEvent wake;
  line->StartWatch(EV_RXCHAR | EV_ERR, wake);
  const Bytes frame = DataFrame(0x0000, Bytes(128, 0xFF));
  ASSERT_NO_FATAL_FAILURE(WriteAll(*line, frame));
  std::uint32_t occurred = 0;
  ASSERT_EQ(line->Wait(occurred).Kind, TNetworkWait::Done);
  EXPECT_EQ(occurred & EV_RXCHAR, EV_RXCHAR);

  server.Stop();
  // The watch ends with the connection's failure within moments (the bytes before it reported first).
  const auto start = TClock::now();
  TNetworkWait wait;
  do wait = line->Wait(occurred);
  while (wait.Kind == TNetworkWait::Done && TClock::now() - start < std::chrono::seconds(5));
  EXPECT_EQ(wait.Kind, TNetworkWait::Failed);
  EXPECT_TRUE(line->IsGone(wait.Code));
  int n = 0;
  EXPECT_NE(line->WriteSome(frame.data(), 3, n), 0);
  line->StopWatch();
}

}  // namespace
}  // namespace hexloader::test
