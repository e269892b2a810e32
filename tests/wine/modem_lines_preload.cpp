// Preloaded into wine's processes by the test harness (Linux only): pseudo-terminals have no modem
// lines and refuse the modem-line requests, which makes wine's WaitCommEvent end every wait at once.
// This answers them for pseudo-terminal slaves as a plain cable would: CTS, DSR and CD on; DTR and RTS
// as last set; once the far end has gone, EIO, as a tty whose device was pulled. With
// HEXLOADER_MODEM_LOG naming a file, every change of DTR or RTS is appended to it ("DTR=0 RTS=0"), so a
// test can see what the program drove.
#include <dlfcn.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace {

using TIoctl = int (*)(int, unsigned long, ...);

std::mutex Lock;
std::map<int, int> LinesByFd;  // DTR and RTS bits per descriptor

bool IsPtySlave(int Fd) {
  struct stat st {};
  if (fstat(Fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned major = ::major(st.st_rdev);
  return major >= 136 && major <= 143;  // Unix98 pseudo-terminal slaves
}

void Log(int Lines) {
  const char* path = std::getenv("HEXLOADER_MODEM_LOG");
  if (!path || !*path) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "DTR=%d RTS=%d\n", (Lines & TIOCM_DTR) ? 1 : 0, (Lines & TIOCM_RTS) ? 1 : 0);
    std::fclose(f);
  }
}

}  // namespace

extern "C" int ioctl(int Fd, unsigned long Request, ...) {
  static const TIoctl real = reinterpret_cast<TIoctl>(dlsym(RTLD_NEXT, "ioctl"));
  va_list args;
  va_start(args, Request);
  void* arg = va_arg(args, void*);
  va_end(args);
  const bool modem = Request == TIOCMGET || Request == TIOCMSET || Request == TIOCMBIS || Request == TIOCMBIC;
  if (!modem || !IsPtySlave(Fd)) return real(Fd, Request, arg);

  // A line whose far end went away answers as a tty whose device was pulled does.
  pollfd hangup{Fd, POLLIN, 0};
  if (::poll(&hangup, 1, 0) == 1 && (hangup.revents & POLLHUP)) {
    errno = EIO;
    return -1;
  }
  int* value = static_cast<int*>(arg);
  std::lock_guard<std::mutex> guard(Lock);
  int& lines = LinesByFd.try_emplace(Fd, TIOCM_DTR | TIOCM_RTS).first->second;
  const int before = lines;
  const int mask = TIOCM_DTR | TIOCM_RTS;
  if (Request == TIOCMGET) {
    *value = lines | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
    return 0;
  }
  if (Request == TIOCMSET) lines = *value & mask;
  if (Request == TIOCMBIS) lines |= *value & mask;
  if (Request == TIOCMBIC) lines &= ~(*value & mask);
  if (lines != before) Log(lines);
  return 0;
}
