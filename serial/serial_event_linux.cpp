#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "serial/serial_error.h"
#include "serial/serial_event.h"

namespace hexloader {
namespace {

int MakeEventFd() {
  const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) RaiseCommError(serial_msg::ThreadCreation, errno);
  return fd;
}

int PollTimeout(std::uint32_t TimeoutMs) {
  return TimeoutMs == TSerialHandleObject::Infinite ? -1
                                                    : static_cast<int>(std::min<std::uint32_t>(TimeoutMs, 0x7FFFFFFF));
}

}  // namespace

TSerialHandleObject::~TSerialHandleObject() { ::close(static_cast<int>(Handle_)); }

TSerialHandleObject::TWaitResult TSerialHandleObject::WaitFor(std::uint32_t TimeoutMs) {
  int error = 0;
  const int r = WaitForAny({this}, TimeoutMs, &error);
  if (r == 0) return wrSignaled;
  if (r == -1) return wrTimeout;
  LastError_ = error;
  return wrError;
}

TSerialEvent::TSerialEvent() : TSerialHandleObject(MakeEventFd()) {}

void TSerialEvent::Signal() {
  const std::uint64_t one = 1;
  // Only fails when the counter would overflow, and then the event is signaled anyway.
  [[maybe_unused]] ssize_t n = ::write(static_cast<int>(Handle()), &one, sizeof one);
}

void TSerialEvent::Reset() {
  std::uint64_t value;
  // Non-blocking: EAGAIN means it was not signaled.
  [[maybe_unused]] ssize_t n = ::read(static_cast<int>(Handle()), &value, sizeof value);
}

bool TSerialEvent::IsSignaled() const {
  pollfd p{static_cast<int>(Handle()), POLLIN, 0};
  return ::poll(&p, 1, 0) == 1;
}

int WaitForAny(std::initializer_list<const TSerialHandleObject*> Objects, std::uint32_t TimeoutMs, int* Error) {
  pollfd fds[8];
  const int n = static_cast<int>(Objects.size());
  if (n > 8) return -2;
  int i = 0;
  for (const TSerialHandleObject* o : Objects) fds[i++] = pollfd{static_cast<int>(o->Handle()), POLLIN, 0};
  for (;;) {
    const int r = ::poll(fds, n, PollTimeout(TimeoutMs));
    if (r < 0 && errno == EINTR) continue;  // a signal is not an outcome; the deadline is approximate then
    if (r < 0) {
      if (Error) *Error = errno;
      return -2;
    }
    if (r == 0) return -1;
    for (int k = 0; k < n; ++k)
      if (fds[k].revents) return k;
  }
}

}  // namespace hexloader
