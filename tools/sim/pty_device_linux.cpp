// The simulator's line on Linux: a pseudo-terminal master, polled together with a signalfd for a clean
// exit and standard input for the Enter key. One thread does everything.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "tools/sim/device_model.h"
#include "tools/sim/line_schedule.h"
#include "tools/sim/port_link.h"
#include "tools/sim/sim_runner.h"

namespace hexloader::sim {
namespace {

using TClock = TLineSchedule::TClock;

class TFd {
 public:
  explicit TFd(int Fd = -1) : Fd_(Fd) {}
  ~TFd() { Reset(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return Fd_; }
  void Reset(int Fd = -1) {
    if (Fd_ >= 0) ::close(Fd_);
    Fd_ = Fd;
  }

 private:
  int Fd_;
};

void Log(const TSimOptions& O, TLogLevel Level, const std::string& Text) {
  if (O.Log == TLogLevel::None || (Level == TLogLevel::Full && O.Log != TLogLevel::Full)) return;
  std::fprintf(stderr, "hexloader-sim: %s\n", Text.c_str());
}

bool WriteMemory(const std::string& Path, const std::vector<std::uint8_t>& Memory) {
  std::FILE* F = std::fopen(Path.c_str(), "wb");
  if (!F) return false;
  const bool Ok = std::fwrite(Memory.data(), 1, Memory.size(), F) == Memory.size();
  return std::fclose(F) == 0 && Ok;
}

// No slave side open: the master reports a hang-up.
bool PortOpened(int Master) {
  pollfd P{Master, POLLIN, 0};
  return ::poll(&P, 1, 0) >= 0 && !(P.revents & POLLHUP);
}

class TSimulator {
 public:
  TSimulator(const TSimOptions& O) : O_(O), Device_(O.Faults), Line_(O.BitRate) {}
  int Run();

 private:
  void OnOpened(TClock::time_point Now);
  void OnClosed();
  void SwitchOn(TClock::time_point Now);
  bool ReadLine(TClock::time_point Now);  // false: hang up and exit
  void WriteDue(TClock::time_point Now);
  void OnFrame(const TDeviceAction& A);

  const TSimOptions& O_;
  TDeviceModel Device_;
  TLineSchedule Line_;
  TFd Master_;
  bool Open_ = false;
  bool HelloPending_ = false;
  TClock::time_point HelloDue_{};
  bool Ended_ = false;
  TClock::time_point EndedAt_{};
};

int TSimulator::Run() {
  // Blocked before the port is announced, so a stop that follows at once still ends cleanly.
  sigset_t Signals;
  sigemptyset(&Signals);
  sigaddset(&Signals, SIGINT);
  sigaddset(&Signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &Signals, nullptr);
  TFd SignalFd(::signalfd(-1, &Signals, SFD_CLOEXEC));

  int MasterFd = -1, SlaveFd = -1;
  if (::openpty(&MasterFd, &SlaveFd, nullptr, nullptr, nullptr) != 0) {
    const int Error = errno;
    std::fprintf(stderr, "hexloader-sim: cannot create a pseudo-terminal: %s\n", std::strerror(Error));
    return 1;
  }
  Master_.Reset(MasterFd);
  // Raw on the device's side as well, so the line carries bytes unchanged whatever the loader sets.
  termios T{};
  if (::tcgetattr(SlaveFd, &T) == 0) {
    ::cfmakeraw(&T);
    ::tcsetattr(SlaveFd, TCSANOW, &T);
  }
  const std::string Path = ::ttyname(SlaveFd) ? ::ttyname(SlaveFd) : "";
  // Closed so that the master reports when the loader opens and closes the port.
  ::close(SlaveFd);
  ::fcntl(Master_.Get(), F_SETFL, ::fcntl(Master_.Get(), F_GETFL) | O_NONBLOCK);

  std::unique_ptr<TPortLink> Link;  // removed when Run returns, if still ours
  if (!O_.LinkPath.empty()) {
    try {
      Link = std::make_unique<TPortLink>(O_.LinkPath, Path);
    } catch (const std::runtime_error& E) {
      std::fprintf(stderr, "hexloader-sim: %s\n", E.what());
      return 1;
    }
  }
  std::printf("%s\n", Path.c_str());
  std::fflush(stdout);

  int Status = 0;
  bool Running = true;
  while (Running) {
    TClock::time_point Now = TClock::now();
    if (!Open_ && PortOpened(Master_.Get())) OnOpened(Now);

    // Wake for the next byte due on the line, the hello, or (while closed) to look for an open.
    auto Wait = std::chrono::nanoseconds(std::chrono::seconds(1));
    if (!Open_ || Ended_) Wait = std::chrono::milliseconds(5);
    if (Line_.Pending()) Wait = std::min<std::chrono::nanoseconds>(Wait, Line_.NextDue() - Now);
    if (HelloPending_) Wait = std::min<std::chrono::nanoseconds>(Wait, HelloDue_ - Now);
    if (Wait.count() < 0) Wait = std::chrono::nanoseconds(0);
    const timespec Timeout{static_cast<time_t>(Wait.count() / 1'000'000'000), static_cast<long>(Wait.count() % 1'000'000'000)};

    pollfd P[3] = {{SignalFd.Get(), POLLIN, 0}, {Open_ ? Master_.Get() : -1, POLLIN, 0},
                   {O_.HelloOnEnter ? STDIN_FILENO : -1, POLLIN, 0}};
    if (::ppoll(P, 3, &Timeout, nullptr) < 0 && errno != EINTR) break;
    Now = TClock::now();

    if (P[0].revents & POLLIN) {
      Log(O_, TLogLevel::Short, "stopped");
      break;
    }
    if (P[2].revents & (POLLIN | POLLHUP)) {
      char Buf[256];
      const ssize_t N = ::read(STDIN_FILENO, Buf, sizeof Buf);
      if (N <= 0) {
        P[2].fd = -1;
      } else if (std::memchr(Buf, '\n', static_cast<std::size_t>(N))) {
        // The port may have been opened since the check at the top of this round.
        if (!Open_ && PortOpened(Master_.Get())) OnOpened(Now);
        if (Open_) SwitchOn(Now);
        else Log(O_, TLogLevel::Short, "the port is not open yet; not switched on");
      }
    }
    if (Open_ && (P[1].revents & POLLIN)) {
      if (!ReadLine(Now)) {
        Log(O_, TLogLevel::Short, "line hung up");
        break;
      }
    }
    if (Open_ && (P[1].revents & POLLHUP) && !(P[1].revents & POLLIN)) OnClosed();
    if (HelloPending_ && Now >= HelloDue_) {
      HelloPending_ = false;
      SwitchOn(Now);
    }
    if (Open_) WriteDue(TClock::now());
    // --once: the loader closes the port after the end frame; closing the line first would discard
    // the end frame's echo before the loader has read it.
    if (O_.Once && Ended_ && !Line_.Pending() && (!Open_ || Now - EndedAt_ > std::chrono::seconds(5))) Running = false;
  }
  return Status;
}

void TSimulator::OnOpened(TClock::time_point Now) {
  Open_ = true;
  Log(O_, TLogLevel::Full, "port opened");
  if (!O_.HelloOnEnter) {
    HelloPending_ = true;
    HelloDue_ = Now + std::chrono::milliseconds(O_.HelloDelayMs);
  } else {
    Log(O_, TLogLevel::Short, "port opened; press Enter to switch the device on");
  }
}

void TSimulator::OnClosed() {
  Open_ = false;
  HelloPending_ = false;
  Line_.Clear();
  Log(O_, TLogLevel::Full, "port closed after " + std::to_string(Device_.FramesSeen()) + " frames");
}

void TSimulator::SwitchOn(TClock::time_point Now) {
  Device_.PowerOn();
  Ended_ = false;
  Line_.Send(0x55, Now);
  Log(O_, TLogLevel::Short, "switched on, sent 55");
}

bool TSimulator::ReadLine(TClock::time_point Now) {
  std::uint8_t Buf[4096];
  const ssize_t N = ::read(Master_.Get(), Buf, sizeof Buf);
  if (N <= 0) return true;
  for (ssize_t i = 0; i < N; ++i) {
    const TClock::time_point Arrived = Line_.Received(Now);
    Line_.Send(Buf[i], Arrived);  // the line's echo
    const TDeviceAction A = Device_.Receive(Buf[i]);
    for (std::uint8_t Noise : A.NoiseAfterEcho) Line_.Send(Noise, Arrived);
    if (A.HasReply) Line_.Send(A.Reply, Arrived + std::chrono::milliseconds(O_.ReplyDelayMs));
    if (A.FrameDone) OnFrame(A);
    if (A.Hangup) return false;
  }
  return true;
}

void TSimulator::OnFrame(const TDeviceAction& A) {
  Log(O_, TLogLevel::Full, DescribeFrame(A.Frame));
  if (A.Frame.Kind == TFrameKind::Bad) Log(O_, TLogLevel::Short, "bad frame: " + DescribeFrame(A.Frame));
  if (A.Frame.Number == O_.Faults.WrongReplyAt) Log(O_, TLogLevel::Short, "fault: wrong reply " + DescribeFrame(A.Frame));
  if (A.Frame.Number == O_.Faults.SilentFrom) Log(O_, TLogLevel::Short, "fault: silent from " + DescribeFrame(A.Frame));
  if (A.Frame.Number == O_.Faults.NoiseAt) Log(O_, TLogLevel::Short, "fault: noise in " + DescribeFrame(A.Frame));
  if (!A.EndFrame) return;
  Ended_ = true;
  EndedAt_ = TClock::now();
  const std::vector<std::uint8_t> Memory = Device_.Memory();
  std::string Text = "end frame after " + std::to_string(Device_.FramesSeen()) + " frames (" +
                     std::to_string(Device_.AddressFrames()) + " address, " + std::to_string(Device_.DataFrames()) +
                     " data); memory " + std::to_string(Memory.size()) + " bytes";
  if (!O_.MemoryPath.empty()) {
    if (WriteMemory(O_.MemoryPath, Memory)) Text += " written to " + O_.MemoryPath;
    else Text += "; cannot write " + O_.MemoryPath + ": " + std::strerror(errno);
  }
  Log(O_, TLogLevel::Short, Text);
}

void TSimulator::WriteDue(TClock::time_point Now) {
  std::uint8_t Buf[4096];
  std::size_t N = 0;
  while (Line_.Pending() && Line_.NextDue() <= Now && N < sizeof Buf) {
    Buf[N++] = Line_.NextByte();
    Line_.PopNext();
  }
  std::size_t Done = 0;
  while (Done < N) {
    const ssize_t W = ::write(Master_.Get(), Buf + Done, N - Done);
    if (W > 0) {
      Done += static_cast<std::size_t>(W);
      continue;
    }
    if (W < 0 && errno == EINTR) continue;
    if (W < 0 && errno == EAGAIN) {
      pollfd P{Master_.Get(), POLLOUT, 0};
      ::poll(&P, 1, 100);
      continue;
    }
    break;  // the port was closed under us: what remains is lost, as on a real line
  }
}

}  // namespace

int RunSimulator(const TSimOptions& Options) {
  TSimulator Sim(Options);
  return Sim.Run();
}

}  // namespace hexloader::sim
