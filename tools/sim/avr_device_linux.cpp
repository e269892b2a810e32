// hexloader-sim --avr on Linux: a pseudo-terminal for the loader, relayed byte for byte to USART0 of an
// ATmega328P simulated by simavr in this process. The board is switched on (a fresh board, erased
// flash with the bootloader in it) once the loader has opened the port, because a byte the bootloader
// sends before anyone listens is lost, and switched off when the loader closes it. One thread does
// everything: it runs the simulation a slice at a time and looks at the port between slices.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/sim/avr_board.h"
#include "tools/sim/avr_messages.h"
#include "tools/sim/avr_simulator.h"
#include "tools/sim/port_link.h"
#include "tools/sim/relay_io_linux.h"

namespace hexloader::sim {
namespace {

using TClock = std::chrono::steady_clock;

// A slice of the simulation between two looks at the port: 1 ms of device time, less than two bytes
// at 19,200 bit/s, so the loader's bytes reach the USART's 64-byte buffer long before it runs dry.
constexpr std::uint64_t SliceCycles = 16'000;
// After the loader closes the port the board may still be working through the last bytes it was sent;
// it is switched off once it has said nothing for SwitchOffQuiet, and at the latest SwitchOffLatest
// after the close.
constexpr auto SwitchOffQuiet = std::chrono::seconds(1);
constexpr auto SwitchOffLatest = std::chrono::seconds(10);
// --once: the loader normally closes the port after the end frame; this long after the application
// has started (and run its --app-ms), the tool ends anyway.
constexpr auto OnceLinger = std::chrono::seconds(5);

void Error(const std::string& Text) { std::fprintf(stderr, "hexloader-sim: %s\n", Text.c_str()); }

// Options that belong to the built-in device: the bootloader plays faults and timing itself.
std::string OptionNotForAvr(const TSimOptions& O) {
  if (O.BitRate != 0) return "--bit-rate";
  if (O.UsbLatencyMs != 0) return "--usb-latency";
  if (O.UsbCdcMs != 0) return "--usb-cdc";
  if (O.HelloOnEnter) return "--hello-on-enter";
  if (O.Devices != 1) return "--devices";
  if (O.Boards != 1) return "--boards";
  if (O.ReplyDelayMs != 0) return "--reply-delay";
  if (O.Faults.WrongReplyAt) return "--wrong-reply-at";
  if (O.Faults.SilentFrom) return "--silent-from";
  if (O.Faults.NoiseAt) return "--noise-at";
  if (O.Faults.HangupAt) return "--hangup-at";
  return "";
}

// Raises with the message when Path cannot be read or is no ELF file.
void CheckFirmware(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) throw std::runtime_error(avr::FirmwareUnreadable(Path, errno));
  char Head[4] = {};
  const ssize_t N = ::read(Fd, Head, sizeof Head);
  const int ReadError = errno;
  ::close(Fd);
  if (N < 0) throw std::runtime_error(avr::FirmwareUnreadable(Path, ReadError));
  if (N != 4 || Head[0] != 0x7F || Head[1] != 'E' || Head[2] != 'L' || Head[3] != 'F')
    throw std::runtime_error(avr::FirmwareNotElf(Path));
}

// The whole of a flat image file; raises with the message.
std::vector<std::uint8_t> ReadApplication(const std::string& Path) {
  std::FILE* F = std::fopen(Path.c_str(), "rb");
  if (!F) throw std::runtime_error(avr::FlashUnreadable(Path, errno));
  std::vector<std::uint8_t> Bytes;
  std::uint8_t Buf[4096];
  std::size_t N;
  // One byte more than the flash holds is enough to tell a file that is too large.
  while ((N = std::fread(Buf, 1, sizeof Buf, F)) > 0 && Bytes.size() <= avr::FlashSize)
    Bytes.insert(Bytes.end(), Buf, Buf + N);
  const bool Failed = std::ferror(F);
  const int ReadError = errno;
  std::fclose(F);
  if (Failed) throw std::runtime_error(avr::FlashUnreadable(Path, ReadError));
  return Bytes;
}

class TAvrSimulator {
 public:
  TAvrSimulator(const TSimOptions& O, std::vector<std::uint8_t> Application)
      : O_(O), Application_(std::move(Application)) {}
  int Run();

 private:
  void Log(TLogLevel Level, const std::string& Text) const {
    if (O_.Log == TLogLevel::None || (Level == TLogLevel::Full && O_.Log != TLogLevel::Full)) return;
    std::fprintf(stderr, "hexloader-sim: %s\n", Text.c_str());
  }
  bool Simulating() const;  // the board is on and its CPU should run
  void RunSlice(TClock::time_point Now);
  bool WriteMemory();                     // false (message shown) when the file cannot be written
  int SwitchOff(const std::string& Why);  // the exit status when the tool must end, else -1
  std::string Counts() const {
    return std::to_string(FromLoader_) + " bytes from the loader, " + std::to_string(ToLoaderCount_) + " to it";
  }

  const TSimOptions& O_;
  const std::vector<std::uint8_t> Application_;  // --flash: in every board's flash at switching on
  int Master_ = -1;
  std::unique_ptr<avr::TBoard> Board_;  // while the board is switched on
  std::vector<std::uint8_t> ToLoader_;
  long FromLoader_ = 0, ToLoaderCount_ = 0;
  bool Open_ = false;
  bool HelloPending_ = false;
  TClock::time_point HelloDue_{};
  bool ClosedWhileOn_ = false;
  TClock::time_point ClosedAt_{};
  TClock::time_point LastDeviceOutput_{};
  bool Started_ = false;          // the bootloader has started the application
  double StartedSeconds_ = 0;     // ... at this device time
  bool ApplicationDone_ = false;  // ... and it has run as long as it may
  TClock::time_point StartedAt_{};
  bool Stopped_ = false;       // the simulated CPU crashed or stopped
  bool FlashWritten_ = false;  // --memory has the flash of this switching on
};

bool TAvrSimulator::Simulating() const { return Board_ && !ApplicationDone_ && !Stopped_; }

bool TAvrSimulator::WriteMemory() {
  if (O_.MemoryPath.empty()) return true;
  const std::vector<std::uint8_t> Flash = Board_->Flash();
  std::FILE* F = std::fopen(O_.MemoryPath.c_str(), "wb");
  const bool Ok = F && std::fwrite(Flash.data(), 1, Flash.size(), F) == Flash.size();
  const int WriteError = errno;
  if (F && std::fclose(F) != 0 && Ok) {
    Error(avr::CannotWriteMemory(O_.MemoryPath, errno));
    return false;
  }
  if (!Ok) {
    Error(avr::CannotWriteMemory(O_.MemoryPath, WriteError));
    return false;
  }
  Log(TLogLevel::Short, "flash (" + std::to_string(Flash.size()) + " bytes) written to " + O_.MemoryPath);
  return true;
}

void TAvrSimulator::RunSlice(TClock::time_point Now) {
  Board_->Run(SliceCycles);
  for (const avr::TPinChange& C : Board_->TakePinChanges())
    Log(TLogLevel::Short, avr::PinChange(C.Pin, C.High, C.Seconds));
  const std::vector<std::uint8_t> Out = Board_->TakeOutput();
  if (!Out.empty()) {
    LastDeviceOutput_ = Now;
    if (Open_) ToLoader_.insert(ToLoader_.end(), Out.begin(), Out.end());
  }
  if (Board_->ApplicationStarted() && !Started_) {
    Started_ = true;
    StartedSeconds_ = Board_->Seconds();
    StartedAt_ = Now;
    char At[32];
    std::snprintf(At, sizeof At, "%.6f s", StartedSeconds_);
    Log(TLogLevel::Short, "the bootloader started the application at " + std::string(At) + " (" + Counts() + ")");
  }
  if (Started_ && !ApplicationDone_) {
    // Without --app-ms the application runs until the board is switched off; --once alone stops it at once.
    const long LimitMs = O_.AppMs >= 0 ? O_.AppMs : O_.Once ? 0 : -1;
    if (LimitMs >= 0 && Board_->Seconds() - StartedSeconds_ >= static_cast<double>(LimitMs) / 1000) {
      ApplicationDone_ = true;
      if (LimitMs > 0)
        Log(TLogLevel::Short, "the application ran " + std::to_string(LimitMs) + " ms: simulation stopped");
    }
  }
  if (!Board_->Running() && !Stopped_) {
    Stopped_ = true;
    Log(TLogLevel::Short, Board_->StopReason());
  }
}

int TAvrSimulator::SwitchOff(const std::string& Why) {
  const bool Started = Started_;
  // The flash as the application found it was written when it started.
  const bool Written = !Board_ || Started || WriteMemory();
  Board_.reset();
  Started_ = ApplicationDone_ = Stopped_ = false;
  if (!Written) return 1;
  if (Started) {
    Log(TLogLevel::Short, "switched off");
    return O_.Once ? 0 : -1;
  }
  const std::string Text = avr::DidNotStartApplication(Why + " (" + Counts() + ")");
  if (O_.Once) {
    Error(Text);
    return 1;
  }
  Log(TLogLevel::Short, Text + "; switched off");
  return -1;
}

int TAvrSimulator::Run() {
  // Blocked before the port is announced, so a stop that follows at once still ends cleanly.
  sigset_t Signals;
  sigemptyset(&Signals);
  sigaddset(&Signals, SIGINT);
  sigaddset(&Signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &Signals, nullptr);
  TFd SignalFd(::signalfd(-1, &Signals, SFD_CLOEXEC | SFD_NONBLOCK));

  TDevicePty Pty;
  try {
    Pty = OpenDevicePty();
  } catch (const std::runtime_error& E) {
    Error(E.what());
    return 1;
  }
  TFd Master(Pty.Master);
  Master_ = Master.Get();
  std::unique_ptr<TPortLink> Link;  // removed when Run returns, if still ours
  if (!O_.LinkPath.empty()) {
    try {
      Link = std::make_unique<TPortLink>(O_.LinkPath, Pty.Path);
    } catch (const std::runtime_error& E) {
      Error(E.what());
      return 1;
    }
  }
  std::printf("%s\n", Pty.Path.c_str());
  std::fflush(stdout);

  int Status = -1;
  bool HadItsRun = false;  // under --once: the board has been switched on once
  while (Status < 0) {
    TClock::time_point Now = TClock::now();
    if (!Open_ && !Board_ && PortOpened(Master_)) {
      Open_ = true;
      HelloPending_ = !HadItsRun || !O_.Once;
      HelloDue_ = Now + std::chrono::milliseconds(O_.HelloDelayMs);
      Log(TLogLevel::Full, "port opened");
    }

    // While the board runs the port is only looked at between slices; otherwise wait for something.
    auto Wait = std::chrono::nanoseconds(std::chrono::seconds(1));
    if (Simulating()) Wait = std::chrono::nanoseconds(0);
    else if (!Open_ || ClosedWhileOn_ || Board_) Wait = std::chrono::milliseconds(5);
    if (HelloPending_)
      Wait = std::min<std::chrono::nanoseconds>(Wait, std::max(HelloDue_ - Now, TClock::duration::zero()));
    const timespec Timeout{static_cast<time_t>(Wait.count() / 1'000'000'000),
                           static_cast<long>(Wait.count() % 1'000'000'000)};
    pollfd P[2] = {
        {SignalFd.Get(), POLLIN, 0},
        {Open_ ? Master_ : -1, static_cast<short>(POLLIN | (ToLoader_.empty() ? 0 : POLLOUT)), 0},
    };
    if (::ppoll(P, 2, &Timeout, nullptr) < 0 && errno != EINTR) {
      Error(std::string("poll: ") + std::strerror(errno));
      Status = 1;
      break;
    }
    Now = TClock::now();

    if (P[0].revents & POLLIN) {
      signalfd_siginfo Info[8];
      while (::read(SignalFd.Get(), Info, sizeof Info) > 0) {}
      Log(TLogLevel::Short, "stopped");
      Status = Board_ ? SwitchOff("stopped before the bootloader started it") : 0;
      if (Status < 0) Status = 0;
      break;
    }

    if (Open_ && (P[1].revents & POLLIN)) {
      std::vector<std::uint8_t> In;
      Drain(Master_, In);
      FromLoader_ += static_cast<long>(In.size());
      if (Board_ && !ClosedWhileOn_) Board_->Send(In.data(), In.size());
      else if (!In.empty())
        Log(TLogLevel::Full, std::to_string(In.size()) + " bytes while the board is off: not heard");
    }
    if (Open_ && (P[1].revents & POLLHUP) && !(P[1].revents & POLLIN)) {
      Open_ = false;
      HelloPending_ = false;
      ToLoader_.clear();
      Log(TLogLevel::Full, "port closed");
      if (Board_) ClosedWhileOn_ = true;
      ClosedAt_ = LastDeviceOutput_ = Now;
    }
    if (Simulating()) RunSlice(Now);
    if (Open_ && !ToLoader_.empty()) {
      const std::size_t Before = ToLoader_.size();
      Flush(Master_, ToLoader_);
      ToLoaderCount_ += static_cast<long>(Before - ToLoader_.size());
    }

    if (Board_ && Started_ && !FlashWritten_) {
      FlashWritten_ = true;
      if (!WriteMemory()) {
        Status = 1;
        break;
      }
    }
    if (Board_ && ClosedWhileOn_ && (Now - LastDeviceOutput_ > SwitchOffQuiet || Now - ClosedAt_ > SwitchOffLatest)) {
      ClosedWhileOn_ = false;
      Status = SwitchOff("the port was closed before the end frame");
      if (Status >= 0) break;
    }
    if (HelloPending_ && Open_ && Now >= HelloDue_) {
      HelloPending_ = false;
      try {
        Board_ = std::make_unique<avr::TBoard>(O_.AvrFirmware);
        if (!O_.FlashPath.empty()) Board_->LoadApplication(Application_, O_.FlashPath);
      } catch (const std::runtime_error& E) {
        Error(E.what());
        Status = 1;
        break;
      }
      HadItsRun = true;
      FlashWritten_ = false;
      FromLoader_ = ToLoaderCount_ = 0;
      ToLoader_.clear();
      ClosedWhileOn_ = false;
      LastDeviceOutput_ = Now;
      Log(TLogLevel::Short, "switched on: the ATmega328P runs " + O_.AvrFirmware);
    }
    // --once: the tool ends once the application has run its time and the loader has let go of the port.
    if (O_.Once && Board_ && Started_ && (ApplicationDone_ || Stopped_) && ToLoader_.empty() &&
        (!Open_ || Now - StartedAt_ > OnceLinger)) {
      Board_.reset();
      Status = 0;
    }
  }
  Board_.reset();
  return Status;
}

}  // namespace

int RunAvrSimulator(const TSimOptions& Options) {
  if (const std::string Option = OptionNotForAvr(Options); !Option.empty()) {
    std::fprintf(stderr, "hexloader-sim: %s\n\n%s", avr::OptionNotForAvr(Option).c_str(), SimUsage);
    return 2;
  }
  avr::SetVerbose(Options.Log == TLogLevel::Full);
  std::vector<std::uint8_t> Application;
  try {
    CheckFirmware(Options.AvrFirmware);
    if (!Options.FlashPath.empty()) Application = ReadApplication(Options.FlashPath);
    // Loaded once before the port is announced, so that a broken file is refused at once.
    avr::TBoard Trial(Options.AvrFirmware);
    if (!Options.FlashPath.empty()) Trial.LoadApplication(Application, Options.FlashPath);
  } catch (const std::runtime_error& E) {
    Error(E.what());
    return 1;
  }
  TAvrSimulator Sim(Options, std::move(Application));
  return Sim.Run();
}

}  // namespace hexloader::sim
