// The simulator's lines on Linux: a pseudo-terminal master per device, polled together with a signalfd
// for a clean exit and standard input for the Enter key. One thread does everything.
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
#include <vector>

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

// The line as the loader's side set it, "57600 bit/s 8N1": the master reads the terminal's settings,
// whoever set them (the loader, or a network server in front of the port).
std::string DescribeLine(const termios& T) {
  // clang-format off
  static const struct { speed_t Code; long Bits; } kRates[] = {
    {B50, 50}, {B75, 75}, {B110, 110}, {B134, 134}, {B150, 150}, {B200, 200}, {B300, 300}, {B600, 600},
    {B1200, 1200}, {B1800, 1800}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
  };
  // clang-format on
  const speed_t Speed = ::cfgetospeed(&T);
  std::string Rate = "other";
  for (const auto& R : kRates)
    if (R.Code == Speed) Rate = std::to_string(R.Bits);
  const int Bits = (T.c_cflag & CSIZE) == CS5 ? 5 : (T.c_cflag & CSIZE) == CS6 ? 6 : (T.c_cflag & CSIZE) == CS7 ? 7 : 8;
  char Parity = 'N';
  if (T.c_cflag & PARENB) {
    const bool Odd = (T.c_cflag & PARODD) != 0;
    Parity = (T.c_cflag & CMSPAR) ? (Odd ? 'M' : 'S') : (Odd ? 'O' : 'E');
  }
  return Rate + " bit/s " + std::to_string(Bits) + Parity + ((T.c_cflag & CSTOPB) ? "2" : "1");
}

// No slave side open: the master reports a hang-up.
bool PortOpened(int Master) {
  pollfd P{Master, POLLIN, 0};
  return ::poll(&P, 1, 0) >= 0 && !(P.revents & POLLHUP);
}

// One device on a pseudo-terminal of its own. Number counts from 1.
class TSimDevice {
 public:
  TSimDevice(const TSimOptions& O, int Number) : O_(O), Number_(Number), Device_(O.Faults), Line_(O.BitRate) {}

  // Creates the pseudo-terminal (and the link); false with a message on standard error on failure.
  bool Create();
  const std::string& Path() const { return Path_; }

  // The descriptor to poll for bytes from the loader (-1 while the port is not open or hung up).
  int PollFd() const { return Open_ && !HungUp_ ? Master_.Get() : -1; }
  // How long the loop may sleep before this device has something due.
  std::chrono::nanoseconds WaitBudget(TClock::time_point Now) const;
  // One turn of the loop: Revents is what poll reported for PollFd().
  void Service(short Revents, TClock::time_point Now);
  // Enter on standard input.
  void OnEnter(TClock::time_point Now);
  // Nothing more will happen: hung up, or (--once) the last board ended and the loader let go.
  bool Finished(TClock::time_point Now) const;
  void RemoveLink();

 private:
  void OnOpened(TClock::time_point Now);
  void OnClosed();
  void SwitchOn(TClock::time_point Now);
  bool ReadLine(TClock::time_point Now);  // false: hang up
  void ReportLine();                      // says the line's settings when they changed
  void WriteDue(TClock::time_point Now);
  // --usb-cdc: when the next packet leaves, with the bytes due on the line (Line_.Pending()).
  TClock::time_point NextPacket() const;
  void OnFrame(const TDeviceAction& A, TClock::time_point Now);
  void Say(TLogLevel Level, const std::string& Text) const;
  // With --boards, the last board's end frame has arrived: no device is left to switch on. A single
  // board is switched on again whenever the port is opened, as a device left powered would be.
  bool AllBoardsDone() const { return O_.Boards > 1 && Ended_ && Board_ >= O_.Boards; }

  const TSimOptions& O_;
  const int Number_;
  TDeviceModel Device_;
  TLineSchedule Line_;
  TFd Master_;
  std::string Path_;
  std::unique_ptr<TPortLink> Link_;  // removed with the device, if still ours
  int Board_ = 0;                    // the board switched on last; 0 before the first
  bool Open_ = false;
  bool HungUp_ = false;
  bool HelloPending_ = false;
  TClock::time_point HelloDue_{};
  bool Ended_ = false;  // the current board's end frame arrived
  TClock::time_point EndedAt_{};
  // --usb-latency: bytes that have come off the line but wait in the adapter, since HeldSince_.
  std::vector<std::uint8_t> Held_;
  std::string LineSaid_;  // the line's settings as last reported
  TClock::time_point HeldSince_{};
  // --usb-cdc: the host asks for a packet every UsbCdcMs from UsbFrames_ on; LastPacket_ went last.
  TClock::time_point UsbFrames_ = TClock::now();
  TClock::time_point LastPacket_{};
};

// What a USB serial adapter sends in one packet besides its two status bytes (FTDI chips).
constexpr std::size_t kUsbPacketBytes = 62;
// A full-speed USB device's bulk packet (USB CDC).
constexpr std::size_t kCdcPacketBytes = 64;

void TSimDevice::Say(TLogLevel Level, const std::string& Text) const {
  Log(O_, Level, O_.Devices > 1 ? "device " + std::to_string(Number_) + ": " + Text : Text);
}

bool TSimDevice::Create() {
  int MasterFd = -1, SlaveFd = -1;
  if (::openpty(&MasterFd, &SlaveFd, nullptr, nullptr, nullptr) != 0) {
    const int Error = errno;
    std::fprintf(stderr, "hexloader-sim: cannot create a pseudo-terminal: %s\n", std::strerror(Error));
    return false;
  }
  Master_.Reset(MasterFd);
  // Raw on the device's side as well, so the line carries bytes unchanged whatever the loader sets.
  termios T{};
  if (::tcgetattr(SlaveFd, &T) == 0) {
    ::cfmakeraw(&T);
    ::tcsetattr(SlaveFd, TCSANOW, &T);
  }
  Path_ = ::ttyname(SlaveFd) ? ::ttyname(SlaveFd) : "";
  // Closed so that the master reports when the loader opens and closes the port.
  ::close(SlaveFd);
  ::fcntl(Master_.Get(), F_SETFL, ::fcntl(Master_.Get(), F_GETFL) | O_NONBLOCK);

  if (!O_.LinkPath.empty()) {
    try {
      Link_ = std::make_unique<TPortLink>(NumberedPath(O_.LinkPath, Number_, O_.Devices, 1, 1), Path_);
    } catch (const std::runtime_error& E) {
      std::fprintf(stderr, "hexloader-sim: %s\n", E.what());
      return false;
    }
  }
  return true;
}

void TSimDevice::RemoveLink() { Link_.reset(); }

std::chrono::nanoseconds TSimDevice::WaitBudget(TClock::time_point Now) const {
  if (HungUp_) return std::chrono::seconds(1);
  // Wake for the next byte due on the line, the hello, or (while closed) to look for an open.
  std::chrono::nanoseconds Wait = std::chrono::seconds(1);
  if (!Open_ || Ended_) Wait = std::chrono::milliseconds(5);
  if (Line_.Pending())
    Wait = std::min<std::chrono::nanoseconds>(Wait, (O_.UsbCdcMs > 0 ? NextPacket() : Line_.NextDue()) - Now);
  if (HelloPending_) Wait = std::min<std::chrono::nanoseconds>(Wait, HelloDue_ - Now);
  if (!Held_.empty())
    Wait = std::min<std::chrono::nanoseconds>(Wait, HeldSince_ + std::chrono::milliseconds(O_.UsbLatencyMs) - Now);
  return Wait;
}

void TSimDevice::Service(short Revents, TClock::time_point Now) {
  if (HungUp_) return;
  if (!Open_ && PortOpened(Master_.Get())) OnOpened(Now);
  if (Open_ && (Revents & POLLIN)) {
    if (!ReadLine(Now)) {
      Say(TLogLevel::Short, "line hung up");
      HungUp_ = true;
      Master_.Reset();
      return;
    }
  }
  if (Open_ && (Revents & POLLHUP) && !(Revents & POLLIN)) OnClosed();
  if (HelloPending_ && Now >= HelloDue_) {
    HelloPending_ = false;
    SwitchOn(Now);
  }
  if (Open_) WriteDue(TClock::now());
}

void TSimDevice::OnEnter(TClock::time_point Now) {
  if (HungUp_) return;
  // The port may have been opened since the check at the top of this round.
  if (!Open_ && PortOpened(Master_.Get())) OnOpened(Now);
  if (!Open_) {
    Say(TLogLevel::Short, "the port is not open yet; not switched on");
    return;
  }
  if (AllBoardsDone()) {
    Say(TLogLevel::Short, "every board has been programmed; not switched on");
    return;
  }
  SwitchOn(Now);
}

bool TSimDevice::Finished(TClock::time_point Now) const {
  if (HungUp_) return true;
  // --once: the loader closes the port after the end frame; closing the line first would discard
  // the end frame's echo before the loader has read it.
  return O_.Once && Ended_ && Board_ >= O_.Boards && !Line_.Pending() && Held_.empty() &&
         (!Open_ || Now - EndedAt_ > std::chrono::seconds(5));
}

void TSimDevice::OnOpened(TClock::time_point Now) {
  Open_ = true;
  Say(TLogLevel::Full, "port opened");
  if (AllBoardsDone()) return;
  if (!O_.HelloOnEnter) {
    HelloPending_ = true;
    HelloDue_ = Now + std::chrono::milliseconds(O_.HelloDelayMs);
  } else {
    Say(TLogLevel::Short, "port opened; press Enter to switch the device on");
  }
}

void TSimDevice::OnClosed() {
  Open_ = false;
  HelloPending_ = false;
  Line_.Clear();
  Held_.clear();
  Say(TLogLevel::Full, "port closed after " + std::to_string(Device_.FramesSeen()) + " frames");
}

void TSimDevice::SwitchOn(TClock::time_point Now) {
  // A board whose upload did not end is switched on again (power cycled); after an end frame the
  // next board takes its place.
  if (Board_ == 0 || Ended_) ++Board_;
  Device_.PowerOn();
  Ended_ = false;
  Line_.Send(0x55, Now);
  Say(TLogLevel::Short,
      O_.Boards > 1 ? "board " + std::to_string(Board_) + " switched on, sent 55" : "switched on, sent 55");
}

bool TSimDevice::ReadLine(TClock::time_point Now) {
  std::uint8_t Buf[4096];
  const ssize_t N = ::read(Master_.Get(), Buf, sizeof Buf);
  if (N <= 0) return true;
  ReportLine();
  for (ssize_t i = 0; i < N; ++i) {
    const TClock::time_point Arrived = Line_.Received(Now);
    Line_.Send(Buf[i], Arrived);  // the line's echo
    const TDeviceAction A = Device_.Receive(Buf[i]);
    for (std::uint8_t Noise : A.NoiseAfterEcho) Line_.Send(Noise, Arrived);
    if (A.HasReply) Line_.Send(A.Reply, Arrived + std::chrono::milliseconds(O_.ReplyDelayMs));
    if (A.FrameDone) OnFrame(A, Arrived);
    if (A.Hangup) return false;
  }
  return true;
}

void TSimDevice::ReportLine() {
  // Looked at when bytes come: the settings they came at.
  termios T{};
  if (::tcgetattr(Master_.Get(), &T) != 0) return;
  const std::string Line = DescribeLine(T);
  if (Line == LineSaid_) return;
  LineSaid_ = Line;
  Say(TLogLevel::Short, "line set to " + Line);
}

void TSimDevice::OnFrame(const TDeviceAction& A, TClock::time_point Arrived) {
  Say(TLogLevel::Full, DescribeFrame(A.Frame));
  if (A.Frame.Kind == TFrameKind::Bad) Say(TLogLevel::Short, "bad frame: " + DescribeFrame(A.Frame));
  if (A.Frame.Number == O_.Faults.WrongReplyAt) Say(TLogLevel::Short, "fault: wrong reply " + DescribeFrame(A.Frame));
  if (A.Frame.Number == O_.Faults.SilentFrom) Say(TLogLevel::Short, "fault: silent from " + DescribeFrame(A.Frame));
  if (A.Frame.Number == O_.Faults.NoiseAt) Say(TLogLevel::Short, "fault: noise in " + DescribeFrame(A.Frame));
  if (!A.EndFrame) return;
  Ended_ = true;
  EndedAt_ = TClock::now();
  const std::vector<std::uint8_t> Memory = Device_.Memory();
  std::string Text = "end frame after " + std::to_string(Device_.FramesSeen()) + " frames (" +
                     std::to_string(Device_.AddressFrames()) + " address, " + std::to_string(Device_.DataFrames()) +
                     " data); memory " + std::to_string(Memory.size()) + " bytes";
  if (!O_.MemoryPath.empty()) {
    const std::string Path = NumberedPath(O_.MemoryPath, Number_, O_.Devices, Board_, O_.Boards);
    if (WriteMemory(Path, Memory)) Text += " written to " + Path;
    else Text += "; cannot write " + Path + ": " + std::strerror(errno);
  }
  Say(TLogLevel::Short, Text);
  // The next board is put in and switched on a moment after the end frame's echo has gone out.
  if (Board_ < O_.Boards && !O_.HelloOnEnter) {
    HelloPending_ = true;
    HelloDue_ = Arrived + std::chrono::milliseconds(O_.HelloDelayMs);
  }
}

TClock::time_point TSimDevice::NextPacket() const {
  // The first time the host asks at or after the next byte is ready, and never two packets at once.
  const std::chrono::nanoseconds Interval = std::chrono::milliseconds(O_.UsbCdcMs);
  const std::chrono::nanoseconds Ready = std::max(Line_.NextDue(), LastPacket_ + Interval) - UsbFrames_;
  return UsbFrames_ + (Ready.count() <= 0 ? 0 : (Ready.count() + Interval.count() - 1) / Interval.count()) * Interval;
}

void TSimDevice::WriteDue(TClock::time_point Now) {
  std::vector<std::uint8_t> Out;
  // --usb-cdc: each packet the host asked for since the last turn carries what was ready by then.
  while (O_.UsbCdcMs > 0 && Line_.Pending() && NextPacket() <= Now) {
    const TClock::time_point Packet = NextPacket();
    for (std::size_t n = 0; n < kCdcPacketBytes && Line_.Pending() && Line_.NextDue() <= Packet; ++n) {
      Out.push_back(Line_.NextByte());
      Line_.PopNext();
    }
    LastPacket_ = Packet;
  }
  while (O_.UsbCdcMs == 0 && Line_.Pending() && Line_.NextDue() <= Now) {
    if (O_.UsbLatencyMs <= 0) {
      Out.push_back(Line_.NextByte());
    } else {
      // The adapter holds what came off the line: a full packet goes at once, the rest when the
      // latency timer, started by the first byte held, runs out.
      if (Held_.empty()) HeldSince_ = Line_.NextDue();
      Held_.push_back(Line_.NextByte());
      if (Held_.size() >= kUsbPacketBytes) {
        Out.insert(Out.end(), Held_.begin(), Held_.end());
        Held_.clear();
      }
    }
    Line_.PopNext();
  }
  if (!Held_.empty() && Now >= HeldSince_ + std::chrono::milliseconds(O_.UsbLatencyMs)) {
    Out.insert(Out.end(), Held_.begin(), Held_.end());
    Held_.clear();
  }
  std::size_t Done = 0;
  while (Done < Out.size()) {
    const ssize_t W = ::write(Master_.Get(), Out.data() + Done, Out.size() - Done);
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

// Every device in one thread: one poll over the signals, standard input and each device's line.
int RunDevices(const TSimOptions& O) {
  // Blocked before the ports are announced, so a stop that follows at once still ends cleanly.
  sigset_t Signals;
  sigemptyset(&Signals);
  sigaddset(&Signals, SIGINT);
  sigaddset(&Signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &Signals, nullptr);
  TFd SignalFd(::signalfd(-1, &Signals, SFD_CLOEXEC));

  std::vector<std::unique_ptr<TSimDevice>> Devices;
  const auto RemoveLinks = [&] {
    for (auto& D : Devices) D->RemoveLink();
  };
  for (int i = 1; i <= O.Devices; ++i) {
    Devices.push_back(std::make_unique<TSimDevice>(O, i));
    if (!Devices.back()->Create()) {
      RemoveLinks();
      return 1;
    }
  }
  for (auto& D : Devices) std::printf("%s\n", D->Path().c_str());
  std::fflush(stdout);

  bool StdinOpen = O.HelloOnEnter;
  std::vector<pollfd> P(Devices.size() + 2);
  for (;;) {
    TClock::time_point Now = TClock::now();
    std::chrono::nanoseconds Wait = std::chrono::seconds(1);
    for (auto& D : Devices) Wait = std::min(Wait, D->WaitBudget(Now));
    if (Wait.count() < 0) Wait = std::chrono::nanoseconds(0);
    const timespec Timeout{static_cast<time_t>(Wait.count() / 1'000'000'000),
                           static_cast<long>(Wait.count() % 1'000'000'000)};

    P[0] = {SignalFd.Get(), POLLIN, 0};
    P[1] = {StdinOpen ? STDIN_FILENO : -1, POLLIN, 0};
    for (std::size_t i = 0; i < Devices.size(); ++i) P[i + 2] = {Devices[i]->PollFd(), POLLIN, 0};
    if (::ppoll(P.data(), P.size(), &Timeout, nullptr) < 0 && errno != EINTR) break;
    Now = TClock::now();

    if (P[0].revents & POLLIN) {
      Log(O, TLogLevel::Short, "stopped");
      break;
    }
    if (P[1].revents & (POLLIN | POLLHUP)) {
      char Buf[256];
      const ssize_t N = ::read(STDIN_FILENO, Buf, sizeof Buf);
      if (N <= 0) StdinOpen = false;
      else if (std::memchr(Buf, '\n', static_cast<std::size_t>(N)))
        for (auto& D : Devices) D->OnEnter(Now);
    }
    bool AllFinished = true;
    for (std::size_t i = 0; i < Devices.size(); ++i) {
      Devices[i]->Service(P[i + 2].revents, Now);
      AllFinished = AllFinished && Devices[i]->Finished(Now);
    }
    if (AllFinished) break;
  }
  RemoveLinks();
  return 0;
}

}  // namespace

int RunSimulator(const TSimOptions& Options) { return RunDevices(Options); }

}  // namespace hexloader::sim
