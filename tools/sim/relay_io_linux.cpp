#include "tools/sim/relay_io_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace hexloader::sim {

TFd::~TFd() {
  if (Fd_ >= 0) ::close(Fd_);
}

TDevicePty OpenDevicePty() {
  int MasterFd = -1, SlaveFd = -1;
  if (::openpty(&MasterFd, &SlaveFd, nullptr, nullptr, nullptr) != 0)
    throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
  ::fcntl(MasterFd, F_SETFD, FD_CLOEXEC);
  // Raw on the device's side as well, so the line carries bytes unchanged whatever the loader sets.
  termios T{};
  if (::tcgetattr(SlaveFd, &T) == 0) {
    ::cfmakeraw(&T);
    ::tcsetattr(SlaveFd, TCSANOW, &T);
  }
  TDevicePty Pty;
  Pty.Master = MasterFd;
  Pty.Path = ::ttyname(SlaveFd) ? ::ttyname(SlaveFd) : "";
  ::close(SlaveFd);
  ::fcntl(MasterFd, F_SETFL, ::fcntl(MasterFd, F_GETFL) | O_NONBLOCK);
  return Pty;
}

bool Flush(int Fd, std::vector<std::uint8_t>& Pending) {
  std::size_t Done = 0;
  while (Done < Pending.size()) {
    const ssize_t W = ::write(Fd, Pending.data() + Done, Pending.size() - Done);
    if (W > 0) {
      Done += static_cast<std::size_t>(W);
      continue;
    }
    if (W < 0 && errno == EINTR) continue;
    if (W < 0 && errno == EAGAIN) break;
    Pending.clear();
    return false;
  }
  Pending.erase(Pending.begin(), Pending.begin() + static_cast<long>(Done));
  return true;
}

bool Drain(int Fd, std::vector<std::uint8_t>& Into) {
  std::uint8_t Buf[4096];
  for (;;) {
    const ssize_t N = ::read(Fd, Buf, sizeof Buf);
    if (N > 0) {
      Into.insert(Into.end(), Buf, Buf + N);
      continue;
    }
    if (N < 0 && errno == EINTR) continue;
    return N < 0 && errno == EAGAIN;
  }
}

bool PortOpened(int Master) {
  pollfd P{Master, POLLIN, 0};
  return ::poll(&P, 1, 0) >= 0 && !(P.revents & POLLHUP);
}

}  // namespace hexloader::sim
