// The network line's Winsock layer under wine, against the Linux ser2net that
// tests/wine/network_wine_test.sh starts in front of the Linux simulated device on the loopback (its
// port in HEXLOADER_TEST_SER2NET_PORT): the bytes both ways through overlapped receives and sends, the
// watch and its wake object, a refused connection, a name that does not resolve, a busy port.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "serial/network_line.h"
#include "serial/network_line_error.h"
#include "serial/serial_event.h"

namespace hexloader {
namespace {

using Bytes = std::vector<std::uint8_t>;
using TClock = std::chrono::steady_clock;

TNetworkPortAddress Ser2net() {
  const char* port = std::getenv("HEXLOADER_TEST_SER2NET_PORT");
  return {"127.0.0.1", static_cast<std::uint16_t>(port ? std::atoi(port) : 0)};
}

TSerialLineSettings LoaderLine() {
  TSerialLineSettings s;
  s.BaudRate = 19200;
  return s;
}

std::unique_ptr<TNetworkLine> Open(TNetworkLineFailure& Failure) {
  const TSerialLineSettings settings = LoaderLine();
  return TNetworkLine::Open(Ser2net(), {}, &settings, nullptr, Failure);
}

Bytes DataFrame(std::uint16_t Address, const Bytes& Data) {
  Bytes frame{0x22, static_cast<std::uint8_t>(Address >> 8), static_cast<std::uint8_t>(Address)};
  frame.insert(frame.end(), Data.begin(), Data.end());
  return frame;
}

std::uint8_t SumOf(const Bytes& Frame) {
  unsigned sum = 0;
  for (std::size_t i = 3; i < Frame.size(); ++i) sum += Frame[i];
  return static_cast<std::uint8_t>(sum);
}

TEST(NetworkLineWinsock, CarriesEveryByteValueThroughSer2netBothWays) {
  TNetworkLineFailure failure;
  auto line = Open(failure);
  ASSERT_TRUE(line) << NetworkLineFailureText(failure);
  TSerialEvent wake;
  line->StartWatch(EV_RXCHAR, wake);

  Bytes all(256);
  std::iota(all.begin(), all.end(), 0);
  const Bytes first = DataFrame(0x0000, Bytes(all.begin(), all.begin() + 128));
  const Bytes second = DataFrame(0x0080, Bytes(all.begin() + 128, all.end()));
  Bytes sent = first;
  sent.insert(sent.end(), second.begin(), second.end());
  int written = 0;
  ASSERT_EQ(line->Write(sent.data(), static_cast<int>(sent.size()), 5000, written), 0);
  ASSERT_EQ(written, static_cast<int>(sent.size()));

  std::uint32_t occurred = 0;
  ASSERT_EQ(line->Wait(occurred).Kind, TNetworkWait::Done);
  EXPECT_EQ(occurred, EV_RXCHAR);
  Bytes expected = first;
  expected.push_back(SumOf(first));
  expected.insert(expected.end(), second.begin(), second.end());
  expected.push_back(SumOf(second));
  Bytes got(expected.size());
  int n = 0;
  EXPECT_EQ(line->Read(got.data(), static_cast<int>(got.size()), 5000, 2000, n), 0);
  got.resize(static_cast<std::size_t>(n));
  EXPECT_EQ(got, expected);

  // The wake object ends a wait with nothing to report.
  wake.Signal();
  EXPECT_EQ(line->Wait(occurred).Kind, TNetworkWait::Woken);
  line->StopWatch();
}

TEST(NetworkLineWinsock, ASecondClientIsRefusedInTheServersWords) {
  TNetworkLineFailure failure;
  auto first = Open(failure);
  ASSERT_TRUE(first) << NetworkLineFailureText(failure);
  EXPECT_FALSE(Open(failure));
  EXPECT_EQ(failure.Kind, TNetworkLineFailure::ClosedByServer);
  EXPECT_EQ(failure.Detail, "Port already in use");
}

TEST(NetworkLineWinsock, APortWhereNothingListensIsRefused) {
  TNetworkLineFailure failure;
  EXPECT_FALSE(TNetworkLine::Open({"127.0.0.1", 1}, {}, nullptr, nullptr, failure));
  EXPECT_EQ(failure.Kind, TNetworkLineFailure::NothingListening) << NetworkLineFailureText(failure);
  EXPECT_EQ(failure.Code, 10061);  // WSAECONNREFUSED
}

TEST(NetworkLineWinsock, ANameThatDoesNotResolveFailsWithinTheDeadline) {
  const auto start = TClock::now();
  TNetworkLineFailure failure;
  const TNetworkLineTimes times{2000, 1000, 1000};
  EXPECT_FALSE(TNetworkLine::Open({"no-such-host.invalid", 4001}, times, nullptr, nullptr, failure));
  EXPECT_TRUE(failure.Kind == TNetworkLineFailure::UnknownHost || failure.Kind == TNetworkLineFailure::ResolveTimedOut)
      << NetworkLineFailureText(failure);
  EXPECT_LT(TClock::now() - start, std::chrono::milliseconds(2500));
}

}  // namespace
}  // namespace hexloader
