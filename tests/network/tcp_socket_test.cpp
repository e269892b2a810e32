// The network line's sockets: connecting within one deadline (names that do not resolve, resolvers
// that do not answer, ports where nothing listens, addresses that do not answer), and the waits the
// event thread makes on a connected socket.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "serial/serial_event.h"
#include "serial/tcp_socket.h"
#include "tests/network/fake_com_port_server.h"

namespace hexloader::test {
namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

long MsSince(TClock::time_point Start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Start).count());
}

TSocketAddress Loopback(std::uint16_t Port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(Port);
  TSocketAddress address;
  std::memcpy(address.Bytes.data(), &a, sizeof a);
  address.Length = sizeof a;
  return address;
}

// A resolver that takes its time, as a name server that does not answer does.
TResolved SlowResolver(const std::string&, std::uint16_t) {
  std::this_thread::sleep_for(3s);
  return {};
}

TEST(TcpConnect, AnUnknownHostIsSaidToBeUnknownWithinTheDeadline) {
  const auto start = TClock::now();
  TConnectFailure failure;
  const TTcpSocket socket = ConnectTcp("no-such-host.invalid", 4001, start + 5s, nullptr, failure);
  EXPECT_FALSE(socket);
  // Without a name server the answer may also be that none could be asked: either way, in time.
  EXPECT_TRUE(failure.Kind == TConnectFailure::UnknownHost || failure.Kind == TConnectFailure::ResolveTimedOut)
      << failure.Kind;
  EXPECT_LT(MsSince(start), 5500);
}

TEST(TcpConnect, AResolverThatDoesNotAnswerHoldsTheCallerOnlyUntilTheDeadline) {
  const auto start = TClock::now();
  TConnectFailure failure;
  const TTcpSocket socket = ConnectTcp("slow.example", 4001, start + 300ms, nullptr, failure, SlowResolver);
  EXPECT_FALSE(socket);
  EXPECT_EQ(failure.Kind, TConnectFailure::ResolveTimedOut);
  EXPECT_GE(MsSince(start), 290);
  EXPECT_LT(MsSince(start), 2500);  // the resolver's thread is left to finish by itself
}

TEST(TcpConnect, ACancelEndsAResolutionAtOnce) {
  TSerialEvent cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(100ms);
    cancel.Signal();
  });
  const auto start = TClock::now();
  TConnectFailure failure;
  const TTcpSocket socket = ConnectTcp("slow.example", 4001, start + 10s, &cancel, failure, SlowResolver);
  canceller.join();
  EXPECT_EQ(failure.Kind, TConnectFailure::Cancelled);
  EXPECT_LT(MsSince(start), 2500);
}

TEST(TcpConnect, APortWhereNothingListensIsRefused) {
  TConnectFailure failure;
  const TTcpSocket socket = ConnectTcp("127.0.0.1", FreeLoopbackPort(), TClock::now() + 5s, nullptr, failure);
  EXPECT_FALSE(socket);
  EXPECT_EQ(failure.Kind, TConnectFailure::Refused);
  EXPECT_EQ(failure.Code, ECONNREFUSED);
  EXPECT_EQ(failure.Address, "127.0.0.1");
}

TEST(TcpConnect, AnAddressThatDoesNotAnswerUsesUpTheDeadlineAndNoMore) {
  // A listener that never accepts, its queue full: the system drops further connection requests.
  std::uint16_t port = 0;
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  TSocketAddress address = Loopback(0);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(address.Bytes.data()), address.Length), 0);
  socklen_t length = sizeof(sockaddr_in);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(address.Bytes.data()), &length);
  port = ntohs(reinterpret_cast<sockaddr_in*>(address.Bytes.data())->sin_port);
  ASSERT_EQ(::listen(listener, 0), 0);
  TConnectFailure first;
  TTcpSocket filler = ConnectTcp("127.0.0.1", port, TClock::now() + 2s, nullptr, first);
  ASSERT_TRUE(filler);
  const auto start = TClock::now();
  TConnectFailure failure;
  const TTcpSocket socket = ConnectTcp("127.0.0.1", port, start + 400ms, nullptr, failure);
  EXPECT_FALSE(socket);
  EXPECT_EQ(failure.Kind, TConnectFailure::TimedOut);
  EXPECT_GE(MsSince(start), 390);
  EXPECT_LT(MsSince(start), 2500);
  ::close(listener);
}

TEST(TcpConnect, AnAddressThatRefusesIsFollowedByTheNext) {
  TLoopbackServer server([](int, const std::atomic<bool>&) {});
  const std::uint16_t refusing = FreeLoopbackPort();
  // The name stands for a port that refuses, then the server's.
  const TResolver resolver = [&](const std::string&, std::uint16_t) {
    TResolved resolved;
    resolved.Addresses = {Loopback(refusing), Loopback(server.Port())};
    return resolved;
  };
  TConnectFailure failure;
  const TTcpSocket socket = ConnectTcp("two.example", server.Port(), TClock::now() + 5s, nullptr, failure, resolver);
  EXPECT_TRUE(socket) << failure.Kind;
}

TEST(TcpSocket, WaitsEndForDataTheWakeObjectAndTheEnd) {
  std::atomic<int> serverFd{-1};
  std::mutex lock;
  std::condition_variable go;
  bool close = false;
  TLoopbackServer server([&](int Fd, const std::atomic<bool>&) {
    serverFd = Fd;
    std::unique_lock<std::mutex> l(lock);
    go.wait(l, [&] { return close; });
  });
  const auto release = [&] {
    {
      std::lock_guard<std::mutex> l(lock);
      close = true;
    }
    go.notify_all();
  };
  // Lets the server's connection go however the test ends, before the server is destroyed.
  struct TRelease {
    std::function<void()> Run;
    ~TRelease() { Run(); }
  } releaseAtEnd{release};
  TConnectFailure failure;
  TTcpSocket socket = ConnectTcp("127.0.0.1", server.Port(), TClock::now() + 5s, nullptr, failure);
  ASSERT_TRUE(socket);
  while (serverFd.load() < 0) std::this_thread::sleep_for(1ms);

  // Nothing to read: the wait runs out; writable at once.
  EXPECT_EQ(socket.Wait(true, false, nullptr, 50).Kind, TSocketWait::TimedOut);
  std::uint8_t buffer[16];
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer).Kind, TSocketIo::WouldBlock);
  const TSocketWait writable = socket.Wait(false, true, nullptr, 1000);
  EXPECT_EQ(writable.Kind, TSocketWait::Ready);
  EXPECT_TRUE(writable.Writable);

  // The wake object ends a wait with no limit, and is reported before a readable socket.
  TSerialEvent wake;
  std::thread waker([&] {
    std::this_thread::sleep_for(50ms);
    wake.Signal();
  });
  EXPECT_EQ(socket.Wait(true, false, &wake, -1).Kind, TSocketWait::Woken);
  waker.join();
  SendAll(serverFd, {1, 2, 3});
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(socket.Wait(true, false, &wake, -1).Kind, TSocketWait::Woken);
  wake.Reset();

  const TSocketWait readable = socket.Wait(true, false, &wake, 1000);
  ASSERT_EQ(readable.Kind, TSocketWait::Ready);
  EXPECT_TRUE(readable.Readable);
  const TSocketIo got = socket.Receive(buffer, sizeof buffer);
  EXPECT_EQ(got.Kind, TSocketIo::Done);
  EXPECT_EQ(got.Bytes, 3u);
  const TSocketIo sent = socket.Send("abc", 3);
  EXPECT_EQ(sent.Kind, TSocketIo::Done);
  EXPECT_EQ(ReadSome(serverFd, 3, 1000), (TBytes{'a', 'b', 'c'}));

  // The server closes: the socket reads as readable, and the receive says it ended.
  release();
  const TSocketWait end = socket.Wait(true, false, nullptr, 2000);
  ASSERT_EQ(end.Kind, TSocketWait::Ready);
  EXPECT_TRUE(end.Readable);
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer).Kind, TSocketIo::Closed);
}

}  // namespace
}  // namespace hexloader::test
