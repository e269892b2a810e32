#pragma once
// The loader's side of a simulated device's port, held open raw by the test itself: the device is
// switched on and the test reads what it sends, or sends nothing at all.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace hexloader::test {

// Holds the port open, raw, without sending: the device is switched on and waits for frames.
struct THeldPort {
  THeldPort(const THeldPort&) = delete;
  THeldPort& operator=(const THeldPort&) = delete;
  explicit THeldPort(const std::string& Path) : Fd(::open(Path.c_str(), O_RDWR | O_NOCTTY)) {
    termios T{};
    if (Fd >= 0 && ::tcgetattr(Fd, &T) == 0) {
      ::cfmakeraw(&T);
      ::tcsetattr(Fd, TCSANOW, &T);
    }
  }
  ~THeldPort() {
    if (Fd >= 0) ::close(Fd);
  }
  // The next byte from the device; -1 when none came for a generous while.
  int ReadByte() const {
    pollfd P{Fd, POLLIN, 0};
    std::uint8_t B = 0;
    if (::poll(&P, 1, 60000) != 1 || ::read(Fd, &B, 1) != 1) return -1;
    return B;
  }
  int Fd;
};

}  // namespace hexloader::test
