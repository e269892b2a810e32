#include "serial/tcp_tuning_linux.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace hexloader {
namespace {

// Keep-alive: probes after 10 s of silence, every 5 s, given up after 3 unanswered.
constexpr int KeepIdleS = 10;
constexpr int KeepIntervalS = 5;
constexpr int KeepCount = 3;
// Data unacknowledged this long ends the connection (the default waits for many minutes).
constexpr unsigned UserTimeoutMs = 20'000;

void SetInt(int Fd, int Level, int Name, int Value) { ::setsockopt(Fd, Level, Name, &Value, sizeof Value); }

}  // namespace

void TuneTcpSocket(int Fd) {
  SetInt(Fd, IPPROTO_TCP, TCP_NODELAY, 1);
  SetInt(Fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetInt(Fd, IPPROTO_TCP, TCP_KEEPIDLE, KeepIdleS);
  SetInt(Fd, IPPROTO_TCP, TCP_KEEPINTVL, KeepIntervalS);
  SetInt(Fd, IPPROTO_TCP, TCP_KEEPCNT, KeepCount);
  const unsigned timeout = UserTimeoutMs;
  ::setsockopt(Fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout);
}

void AcknowledgeAtOnce(int Fd) { SetInt(Fd, IPPROTO_TCP, TCP_QUICKACK, 1); }

}  // namespace hexloader
