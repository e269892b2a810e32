#include "serial/low_latency_linux.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace hexloader {

bool RequestLowLatency(int Fd, bool& WasSet) {
  serial_struct s{};
  if (::ioctl(Fd, TIOCGSERIAL, &s) != 0) return false;
  WasSet = (s.flags & ASYNC_LOW_LATENCY) != 0;
  if (WasSet) return true;
  s.flags |= ASYNC_LOW_LATENCY;
  return ::ioctl(Fd, TIOCSSERIAL, &s) == 0;
}

void ReleaseLowLatency(int Fd) {
  serial_struct s{};
  if (::ioctl(Fd, TIOCGSERIAL, &s) != 0) return;
  s.flags &= ~ASYNC_LOW_LATENCY;
  ::ioctl(Fd, TIOCSSERIAL, &s);
}

}  // namespace hexloader
