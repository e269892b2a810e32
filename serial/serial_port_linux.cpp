// Linux side of the serial port: a non-blocking tty descriptor; exclusivity through TIOCEXCL and an
// advisory lock; line events through an edge-triggered epoll; line errors and modem-line changes from
// the driver's interrupt counters where it keeps them.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "serial/kernel_termios_linux.h"
#include "serial/line_termios_linux.h"
#include "serial/low_latency_linux.h"
#include "serial/receive_pacer.h"
#include "serial/serial_port.h"

namespace hexloader {
namespace {

using TClock = std::chrono::steady_clock;

// Descriptor owner for the steps of Open, so every failure path closes it.
struct TFd {
  int Fd = -1;
  explicit TFd(int F) : Fd(F) {}
  ~TFd() {
    if (Fd >= 0) ::close(Fd);
  }
  int Release() {
    const int f = Fd;
    Fd = -1;
    return f;
  }
};

// The driver's counters; false when the driver keeps none (pseudo-terminals, most USB adapters).
bool ReadCounters(int Fd, serial_icounter_struct& Counters) {
  std::memset(&Counters, 0, sizeof Counters);
  return ::ioctl(Fd, TIOCGICOUNT, &Counters) == 0;
}

std::uint32_t ErrorFlagsBetween(const serial_icounter_struct& Old, const serial_icounter_struct& New) {
  std::uint32_t e = 0;
  if (New.buf_overrun != Old.buf_overrun) e |= CE_RXOVER;
  if (New.overrun != Old.overrun) e |= CE_OVERRUN;
  if (New.parity != Old.parity) e |= CE_RXPARITY;
  if (New.frame != Old.frame) e |= CE_FRAME;
  if (New.brk != Old.brk) e |= CE_BREAK;
  return e;
}

int MsLeft(TClock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// poll for one event on Fd; 1 ready, 0 timed out, -1 error (errno).
int PollOne(int Fd, short Events, int TimeoutMs) {
  pollfd p{Fd, Events, 0};
  for (;;) {
    const int r = ::poll(&p, 1, TimeoutMs);
    if (r < 0 && errno == EINTR) continue;
    return r;
  }
}

class TLinuxLineWatch : public TSerialLineWatch {
 public:
  TLinuxLineWatch(int PortFd, std::uint32_t Mask, int WakeFd, TReceiveGathering& Gathering)
      : PortFd_(PortFd), Mask_(Mask), WakeFd_(WakeFd), Gathering_(Gathering) {}
  ~TLinuxLineWatch() override {
    if (Epoll_ >= 0) ::close(Epoll_);
  }

  int Start() {
    Epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (Epoll_ < 0) return errno;
    // Edge-triggered: a wait ends for bytes that arrived since the previous wait (also during a
    // dispatch), never for bytes merely left unread.
    epoll_event port{};
    port.events = EPOLLIN | EPOLLET;
    port.data.u32 = 0;
    if (::epoll_ctl(Epoll_, EPOLL_CTL_ADD, PortFd_, &port) != 0) return errno;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.u32 = 1;
    if (::epoll_ctl(Epoll_, EPOLL_CTL_ADD, WakeFd_, &wake) != 0) return errno;
    HasCounters_ = ReadCounters(PortFd_, Counters_);
    // Runs on the event thread: its timed looks end when asked, not up to the default 50 us later (at
    // 115200 bit/s that is half a character per frame).
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    return 0;
  }

  int Wait(std::uint32_t& Occurred) override {
    for (;;) {
      Occurred = 0;
      const int r = Collect(-1, Occurred);
      if (r != 0) return r;
      if (!(Occurred & EV_RXCHAR) || Gathering_.Threshold.load(std::memory_order_relaxed) <= 1) return 0;
      const int g = Gather(Occurred);
      if (g != KeepWaiting) return g;
    }
  }

 private:
  static constexpr int KeepWaiting = -1;

  // One epoll_wait: 0 with the events that occurred, 1 when woken, or an error code.
  int Collect(int TimeoutMs, std::uint32_t& Occurred) {
    epoll_event events[2];
    int n;
    do {
      n = ::epoll_wait(Epoll_, events, 2, TimeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno;
    bool woken = false;
    for (int i = 0; i < n; ++i) {
      if (events[i].data.u32 == 1) woken = true;
      // A hung-up tty (adapter pulled, far end of a pseudo-terminal closed) answers every further
      // call with EIO; reporting it here spares a dispatch that could only fail.
      else if (events[i].events & (EPOLLHUP | EPOLLERR)) return EIO;
      else if (events[i].events & EPOLLIN) Occurred |= EV_RXCHAR;
    }
    if (HasCounters_) Occurred |= CounterEvents();
    Occurred &= Mask_;
    return woken ? 1 : 0;
  }

  // The first bytes of an exchange have come and more are awaited: the input queue is looked at when
  // the pacer says. Returns as Wait does, or KeepWaiting when nothing is left to report (the bytes
  // behind a leftover edge were read meanwhile).
  int Gather(std::uint32_t& Occurred) {
    const std::int64_t sentNs = Gathering_.SentNs.load(std::memory_order_acquire);
    std::optional<TReceivePacer::TClock::time_point> sentAt;
    if (sentNs != 0) sentAt = TReceivePacer::TClock::time_point(std::chrono::nanoseconds(sentNs));
    TReceivePacer pacer(Gathering_.ByteNs.load(std::memory_order_relaxed), sentAt);
    struct TActive {
      std::atomic<bool>& Flag;
      explicit TActive(std::atomic<bool>& F) : Flag(F) { Flag = true; }
      ~TActive() { Flag = false; }
    } active(Gathering_.Active);
    for (;;) {
      // Takes the edge left by the bytes counted next, so the wait after this report ends only for
      // bytes that come later; those are never lost, as they raise a new edge.
      std::uint32_t more = 0;
      const int c = Collect(0, more);
      Occurred |= more & ~EV_RXCHAR;
      if (c > 1) return c;
      if (c == 1) return 1;
      int waiting = 0;
      if (::ioctl(PortFd_, FIONREAD, &waiting) != 0) return errno;
      if (waiting == 0) {
        Occurred &= ~EV_RXCHAR;
        return Occurred != 0 ? 0 : KeepWaiting;
      }
      const TReceivePacer::TStep step =
          pacer.Next(waiting, Gathering_.Threshold.load(std::memory_order_relaxed), TReceivePacer::TClock::now());
      if (step.What == TReceivePacer::TStep::Report) return 0;
      if (step.What == TReceivePacer::TStep::AwaitArrival) {
        // The next arrival ends this wait at once (its edge), or the quiet time does.
        const int r = Collect(static_cast<int>((step.Ns + 999'999) / 1'000'000), more);
        Occurred |= more & ~EV_RXCHAR;
        if (r != 0) return r;
        continue;
      }
      // The wake object ends the wait (a stop, or a threshold lowered); a hang-up is reported by poll
      // at once whatever is asked for. The port's readiness is not asked for: it would wake this
      // thread in the kernel for every byte.
      pollfd p[2] = {{WakeFd_, POLLIN, 0}, {PortFd_, 0, 0}};
      const timespec t{static_cast<time_t>(step.Ns / 1'000'000'000), static_cast<long>(step.Ns % 1'000'000'000)};
      const int r = ::ppoll(p, 2, &t, nullptr);
      if (r < 0 && errno != EINTR) return errno;
      if (r > 0 && (p[1].revents & (POLLHUP | POLLERR))) return EIO;
      if (r > 0 && p[0].revents) return 1;
    }
  }

  // Line errors and modem-line changes seen in the driver's counters since the previous wait.
  std::uint32_t CounterEvents() {
    serial_icounter_struct now;
    if (!ReadCounters(PortFd_, now)) return 0;
    std::uint32_t ev = 0;
    if (ErrorFlagsBetween(Counters_, now) & (CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME)) ev |= EV_ERR;
    if (now.brk != Counters_.brk) ev |= EV_BREAK;
    if (now.cts != Counters_.cts) ev |= EV_CTS;
    if (now.dsr != Counters_.dsr) ev |= EV_DSR;
    if (now.rng != Counters_.rng) ev |= EV_RING;
    if (now.dcd != Counters_.dcd) ev |= EV_RLSD;
    Counters_ = now;
    return ev;
  }

  int PortFd_;
  std::uint32_t Mask_;
  int WakeFd_;
  TReceiveGathering& Gathering_;
  int Epoll_ = -1;
  bool HasCounters_ = false;
  serial_icounter_struct Counters_{};
};

}  // namespace

struct TSerialPort::TState {
  int Fd = -1;
  std::string Path;
  bool HasCounters = false;
  serial_icounter_struct Counters{};  // baseline of GetStatus's error flags
  bool LowLatencyOurs = false;        // set by Open, cleared again at close
  TReceiveGathering Gathering;
  // The event thread's wake event, known once its watch has started: a lowered threshold wakes a
  // gathering watch, so that bytes already waiting are reported at once.
  std::atomic<int> WakeFd{-1};
};

TSerialPort::TSerialPort(std::unique_ptr<TState> State) : State_(std::move(State)) {}

TSerialPort::~TSerialPort() {
  if (State_->LowLatencyOurs) ReleaseLowLatency(State_->Fd);
  // Leave the device openable by others; the advisory lock goes with the descriptor.
  ::ioctl(State_->Fd, TIOCNXCL);
  ::close(State_->Fd);
}

std::string TSerialPort::DevicePath(const std::string& Path) {
  // Like Windows resolving "COM3", a bare name means the device of that name.
  return Path.find('/') == std::string::npos ? "/dev/" + Path : Path;
}

std::unique_ptr<TSerialPort> TSerialPort::Open(const std::string& Path, int& Error) {
  const std::string path = DevicePath(Path);
  TFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Fd < 0) {
    Error = errno;
    return nullptr;
  }
  // TIOCEXCL keeps out other non-root openers; the lock also keeps out root and this process's own
  // second open (it belongs to the open file description, not the process).
  if (::flock(fd.Fd, LOCK_EX | LOCK_NB) != 0) {
    Error = errno == EWOULDBLOCK ? EBUSY : errno;
    return nullptr;
  }
  ::ioctl(fd.Fd, TIOCEXCL);  // not a tty: the line settings will report it
  auto state = std::make_unique<TState>();
  state->Path = path;
  state->HasCounters = ReadCounters(fd.Fd, state->Counters);
  // Received bytes at once rather than when a USB adapter's latency timer runs out; the port works
  // either way, so a refusal is no error.
  bool wasSet = false;
  state->LowLatencyOurs = RequestLowLatency(fd.Fd, wasSet) && !wasSet;
  state->Fd = fd.Release();
  Error = 0;
  return std::unique_ptr<TSerialPort>(new TSerialPort(std::move(state)));
}

bool TSerialPort::IsMissingDevice(int Error) { return Error == ENOENT; }

const std::string& TSerialPort::Path() const { return State_->Path; }

bool TSerialPort::IsDeviceGone(int Code) const {
  // EIO: hung up; ENXIO, ENODEV: the driver has no device behind the node any more.
  if (Code == EIO || Code == ENXIO || Code == ENODEV) return true;
  // Any other failure counts as well once the node itself has been removed.
  struct stat st;
  return ::stat(State_->Path.c_str(), &st) != 0 && errno == ENOENT;
}

int TSerialPort::ApplyLineSettings(const TSerialLineSettings& Settings) {
  TKernelTermios t{};
  if (const int e = GetKernelTermios(State_->Fd, t)) return e;
  if (const int e = TranslateLineSettings(Settings, t)) return e;
  if (const int e = SetKernelTermios(State_->Fd, t)) return e;
  State_->Gathering.ByteNs = CharacterTimeNs(Settings);
  const TModemLines lines = ModemLinesFor(Settings);
  // Pseudo-terminals and some adapters have no modem lines: nothing to drive then.
  if (lines.Set && ::ioctl(State_->Fd, TIOCMBIS, &lines.Set) != 0 && errno != ENOTTY && errno != EINVAL) return errno;
  if (lines.Clear && ::ioctl(State_->Fd, TIOCMBIC, &lines.Clear) != 0 && errno != ENOTTY && errno != EINVAL)
    return errno;
  return 0;
}

int TSerialPort::SetReceiveThreshold(int Count) {
  const int count = std::max(Count, 1);
  const int previous = State_->Gathering.Threshold.exchange(count);
  const int wake = State_->WakeFd.load();
  // Only a gathering watch needs to hear of it (a watch that starts gathering later reads the new
  // value): bytes already gathered may now be enough.
  if (count < previous && wake >= 0 && State_->Gathering.Active.load()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake, &one, sizeof one);
  }
  return 0;
}

int TSerialPort::SetupBuffers(std::int32_t, std::int32_t) { return 0; }
int TSerialPort::SetTimeouts() { return 0; }
int TSerialPort::SetEventMask(std::uint32_t) { return 0; }

int TSerialPort::GetStatus(TSerialCommStatus& Status, bool OutQueue) {
  Status = TSerialCommStatus{};
  int in = 0;
  if (::ioctl(State_->Fd, FIONREAD, &in) != 0) return errno;
  int out = 0;
  if (OutQueue && ::ioctl(State_->Fd, TIOCOUTQ, &out) != 0) out = 0;  // not every driver counts its output
  Status.cbInQue = static_cast<std::uint32_t>(in);
  Status.cbOutQue = static_cast<std::uint32_t>(out);
  if (State_->HasCounters) {
    serial_icounter_struct now;
    if (ReadCounters(State_->Fd, now)) {
      Status.Errors = ErrorFlagsBetween(State_->Counters, now);
      State_->Counters = now;
    }
  }
  return 0;
}

int TSerialPort::Read(void* Buffer, int Count, std::uint32_t TimeoutMs, int IntervalMs, int& Bytes) {
  Bytes = 0;
  if (Count <= 0) return 0;
  auto* out = static_cast<unsigned char*>(Buffer);
  const auto deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  for (;;) {
    const ssize_t n = ::read(State_->Fd, out + Bytes, static_cast<std::size_t>(Count - Bytes));
    if (n > 0) {
      Bytes += static_cast<int>(n);
      if (Bytes == Count) return 0;
      continue;
    }
    // A non-blocking tty read gives 0 only once the line is hung up (adapter pulled, far side of a
    // pseudo-terminal closed): the bytes read so far are returned, the next call reports it.
    if (n == 0) return Bytes > 0 ? 0 : EIO;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return errno;
    int wait = MsLeft(deadline);
    if (Bytes > 0 && wait > IntervalMs) wait = IntervalMs;
    if (wait == 0) return 0;
    const int r = PollOne(State_->Fd, POLLIN, wait);
    if (r < 0) return errno;
    if (r == 0) return 0;  // gap after the last byte, or nothing came in time
  }
}

int TSerialPort::WriteSome(const void* Buffer, int Count, int& Bytes) {
  Bytes = 0;
  if (Count <= 0) return 0;
  // Before the bytes can leave: the watch measures a device's pace from here (receive_pacer.h).
  const auto sent = std::chrono::duration_cast<std::chrono::nanoseconds>(TClock::now().time_since_epoch());
  State_->Gathering.SentNs.store(sent.count(), std::memory_order_release);
  for (;;) {
    const ssize_t n = ::write(State_->Fd, Buffer, static_cast<std::size_t>(Count));
    if (n >= 0) {
      Bytes = static_cast<int>(n);
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

int TSerialPort::Write(const void* Buffer, int Count, std::uint32_t TimeoutMs, int& Bytes) {
  Bytes = 0;
  const auto* in = static_cast<const unsigned char*>(Buffer);
  const auto deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  while (Bytes < Count) {
    int n = 0;
    const int e = WriteSome(in + Bytes, Count - Bytes, n);
    if (e != 0 && e != EAGAIN) return e;
    Bytes += n;
    if (Bytes == Count) break;
    const int wait = MsLeft(deadline);
    if (wait == 0) break;
    const int r = PollOne(State_->Fd, POLLOUT, wait);
    if (r < 0) return errno;
    if (r == 0) break;
  }
  return 0;
}

int TSerialPort::WaitWritable(const TSerialHandleObject& Cancel) {
  pollfd fds[2] = {{static_cast<int>(Cancel.Handle()), POLLIN, 0}, {State_->Fd, POLLOUT, 0}};
  for (;;) {
    const int r = ::poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return errno;
    if (fds[0].revents) return 1;
    return 0;  // writable, or an error that the next write reports
  }
}

std::unique_ptr<TSerialLineWatch> TSerialPort::Watch(std::uint32_t Mask, const TSerialHandleObject& Wake, int& Error) {
  auto watch = std::make_unique<TLinuxLineWatch>(State_->Fd, Mask, static_cast<int>(Wake.Handle()), State_->Gathering);
  Error = watch->Start();
  if (Error) return nullptr;
  State_->WakeFd = static_cast<int>(Wake.Handle());
  return watch;
}

}  // namespace hexloader
