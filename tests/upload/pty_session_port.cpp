#include "tests/upload/pty_session_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace hexloader::test {
namespace {
constexpr int kWaitMs = 20000;  // far beyond any real delay; only a broken far end reaches it
}

TPtySessionPort::~TPtySessionPort() {
  if (Fd_ >= 0) ::close(Fd_);
}

void TPtySessionPort::Open() {
  ++OpenCalls_;
  const int Fd = ::open(Path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (Fd < 0) throw std::runtime_error("cannot open " + Path_);
  termios T{};
  ::tcgetattr(Fd, &T);
  ::cfmakeraw(&T);
  ::tcsetattr(Fd, TCSANOW, &T);
  Fd_ = Fd;
  InForce_ = 1;
}

int TPtySessionPort::WriteBuf(const void* Buffer, int Count) {
  const auto* Bytes = static_cast<const std::uint8_t*>(Buffer);
  Written_.emplace_back(Bytes, Bytes + Count);
  ThresholdAtWrite_.push_back(InForce_);
  WriteAll(Fd_, Written_.back());
  return Count;
}

int TPtySessionPort::ReadBuf(void* Buffer, int Count) {
  LargestRead_ = std::max(LargestRead_, Count);
  const ssize_t N = ::read(Fd_, Buffer, static_cast<std::size_t>(Count));
  if (N <= 0) return 0;
  BytesRead_ += N;
  return static_cast<int>(N);
}

int TPtySessionPort::InQueueCount() {
  int Waiting = 0;
  if (Fd_ >= 0) ::ioctl(Fd_, FIONREAD, &Waiting);
  return Waiting;
}

bool TPtySessionPort::PumpOnce(TUploadSession& Session, int Limit) {
  if (!WaitReadable(Fd_)) return false;
  int Waiting = 0;
  ::ioctl(Fd_, FIONREAD, &Waiting);
  if (Waiting <= 0) {
    pollfd P{Fd_, POLLIN, 0};
    return !(::poll(&P, 1, 0) > 0 && (P.revents & (POLLHUP | POLLERR)));  // the line hung up
  }
  Session.OnRxChar(Limit > 0 ? std::min(Limit, Waiting) : Waiting);
  return true;
}

bool TPtySessionPort::PumpUntilRead(TUploadSession& Session, long Total) {
  while (BytesRead_ < Total)
    if (!PumpOnce(Session, static_cast<int>(Total - BytesRead_))) return false;
  return true;
}

bool TPtySessionPort::WaitUntilWaiting(int Count) {
  for (int Tries = 0; Tries < kWaitMs; ++Tries) {
    int Waiting = 0;
    ::ioctl(Fd_, FIONREAD, &Waiting);
    if (Waiting >= Count) return true;
    pollfd None{-1, 0, 0};
    ::poll(&None, 1, 1);  // the line moves bytes asynchronously; look again shortly
  }
  return false;
}

bool WaitReadable(int Fd) {
  pollfd P{Fd, POLLIN, 0};
  while (true) {
    const int R = ::poll(&P, 1, kWaitMs);
    if (R < 0 && errno == EINTR) continue;
    return R > 0 && (P.revents & POLLIN);
  }
}

bool ReadExactly(int Fd, std::uint8_t* Buffer, int Count) {
  int Done = 0;
  while (Done < Count) {
    if (!WaitReadable(Fd)) return false;
    const ssize_t N = ::read(Fd, Buffer + Done, static_cast<std::size_t>(Count - Done));
    if (N <= 0) return false;
    Done += static_cast<int>(N);
  }
  return true;
}

void WriteAll(int Fd, const std::vector<std::uint8_t>& Bytes) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    const ssize_t N = ::write(Fd, Bytes.data() + Done, Bytes.size() - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) throw std::runtime_error("write to the pseudo-terminal failed");
    Done += static_cast<std::size_t>(N);
  }
}

}  // namespace hexloader::test
