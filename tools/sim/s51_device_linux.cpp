// hexloader-sim --s51 on Linux: a pseudo-terminal for the loader, relayed byte for byte to the UART of
// an 8051 simulated by s51. The device is switched on (s51 started) once the loader has opened the port,
// because input sent before the device program has set up its UART is lost, and switched off (s51
// killed) when the loader closes it. One thread does everything.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/sim/port_link.h"
#include "tools/sim/relay_io_linux.h"
#include "tools/sim/s51_console.h"
#include "tools/sim/s51_messages.h"
#include "tools/sim/s51_run.h"
#include "tools/sim/s51_simulator.h"

namespace hexloader::sim {
namespace {

using TClock = std::chrono::steady_clock;

// After the loader closes the port the device may still be working through the last bytes it was sent
// (the end frame among them); it is switched off once it has said nothing for SwitchOffQuiet, and at
// the latest SwitchOffLatest after the close.
constexpr auto SwitchOffQuiet = std::chrono::seconds(1);
constexpr auto SwitchOffLatest = std::chrono::seconds(10);
// --once: the loader normally closes the port after the end frame; this long after it, the tool ends anyway.
constexpr auto OnceLinger = std::chrono::seconds(5);

void Error(const std::string& Text) { std::fprintf(stderr, "hexloader-sim: %s\n", Text.c_str()); }

// Options that belong to the built-in device: the device program plays faults and timing itself.
std::string OptionNotForS51(const TSimOptions& O) {
  if (O.BitRate != 0) return "--bit-rate";
  if (O.UsbLatencyMs != 0) return "--usb-latency";
  if (O.UsbCdcMs != 0) return "--usb-cdc";
  if (O.HelloOnEnter) return "--hello-on-enter";
  if (O.Faults.WrongReplyAt) return "--wrong-reply-at";
  if (O.Faults.SilentFrom) return "--silent-from";
  if (O.Faults.NoiseAt) return "--noise-at";
  if (O.Faults.HangupAt) return "--hangup-at";
  return "";
}

// The device program as an absolute path (s51 runs in a folder of its own); raises with the message.
std::string CheckFirmware(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) throw std::runtime_error(s51::FirmwareUnreadable(Path, errno));
  char Head[64];
  const ssize_t N = ::read(Fd, Head, sizeof Head);
  const int ReadError = errno;
  ::close(Fd);
  if (N < 0) throw std::runtime_error(s51::FirmwareUnreadable(Path, ReadError));
  // Intel HEX: the first record's colon, perhaps after white space.
  const std::string Text(Head, static_cast<std::size_t>(N));
  const std::size_t First = Text.find_first_not_of(" \t\r\n");
  if (First == std::string::npos || Text[First] != ':') throw std::runtime_error(s51::FirmwareNotIntelHex(Path));
  char* Absolute = ::realpath(Path.c_str(), nullptr);
  if (!Absolute) throw std::runtime_error(s51::FirmwareUnreadable(Path, errno));
  const std::string Result = Absolute;
  std::free(Absolute);
  return Result;
}

class TS51Simulator {
 public:
  TS51Simulator(const TSimOptions& O, std::string Program, std::string Firmware)
      : O_(O), Program_(std::move(Program)), Firmware_(std::move(Firmware)) {}
  int Run();

 private:
  void Log(TLogLevel Level, const std::string& Text) const {
    if (O_.Log == TLogLevel::None || (Level == TLogLevel::Full && O_.Log != TLogLevel::Full)) return;
    std::fprintf(stderr, "hexloader-sim: %s\n", Text.c_str());
  }
  void SwitchOn();
  int SwitchOff(const std::string& Why);  // the exit status: 1 under --once, else 0 and the tool goes on
  int OnS51Ended();                       // the exit status when the tool must end, else -1
  std::string Counts() const {
    return std::to_string(FromLoader_) + " bytes from the loader, " + std::to_string(ToLoaderCount_) + " to it";
  }

  const TSimOptions& O_;
  std::string Program_, Firmware_;
  int Master_ = -1;
  std::unique_ptr<s51::TRun> Device_;  // s51 while the device is switched on
  std::vector<std::uint8_t> ToDevice_, ToLoader_;
  long FromLoader_ = 0, ToLoaderCount_ = 0;
  bool Open_ = false;
  bool HelloPending_ = false;
  TClock::time_point HelloDue_{};
  bool ClosedWhileOn_ = false;  // the port was closed; the device gets a moment to finish
  TClock::time_point ClosedAt_{};
  TClock::time_point LastDeviceOutput_{};
  bool Finished_ = false;
  TClock::time_point FinishedAt_{};
};

void TS51Simulator::SwitchOn() {
  Device_ = std::make_unique<s51::TRun>(Program_, Firmware_);
  ToDevice_.clear();
  ToLoader_.clear();
  FromLoader_ = ToLoaderCount_ = 0;
  Finished_ = ClosedWhileOn_ = false;
  LastDeviceOutput_ = TClock::now();
  Log(TLogLevel::Short, "switched on: s51 runs " + Firmware_);
}

int TS51Simulator::SwitchOff(const std::string& Why) {
  Device_.reset();
  const std::string Text = s51::DidNotFinish(Why + " (" + Counts() + ")");
  if (O_.Once) {
    Error(Text);
    return 1;
  }
  Log(TLogLevel::Short, Text + "; switched off");
  return 0;
}

int TS51Simulator::OnS51Ended() {
  Drain(Device_->FromDevice(), ToLoader_);  // the end frame's echo
  const std::string S51Log = Device_->Log();
  Log(TLogLevel::Full, "s51's console:\n" + S51Log);
  if (!s51::StoppedItself(S51Log)) {
    const std::string Stop = s51::StopLine(S51Log);
    Device_.reset();
    Error(s51::DidNotFinish("s51 ended " +
                            (Stop.empty() ? std::string("without running the program") : "at '" + Stop + "'") + " (" +
                            Counts() + ")"));
    return 1;
  }
  std::vector<std::uint8_t> Memory;
  try {
    Memory = Device_->Memory();
  } catch (const std::runtime_error& E) {
    Device_.reset();
    Error(E.what());
    return 1;
  }
  Device_.reset();
  Finished_ = true;
  FinishedAt_ = TClock::now();
  std::string Text = "the device finished after " + Counts();
  if (!O_.MemoryPath.empty()) {
    std::FILE* F = std::fopen(O_.MemoryPath.c_str(), "wb");
    const bool Ok = F && std::fwrite(Memory.data(), 1, Memory.size(), F) == Memory.size();
    const int WriteError = errno;
    if (F && std::fclose(F) != 0 && Ok) {
      Error(s51::CannotWriteMemory(O_.MemoryPath, errno));
      return 1;
    }
    if (!Ok) {
      Error(s51::CannotWriteMemory(O_.MemoryPath, WriteError));
      return 1;
    }
    Text += "; memory (" + std::to_string(Memory.size()) + " bytes) written to " + O_.MemoryPath;
  }
  if (!O_.Once) Text += "; close the port to switch it on again";
  Log(TLogLevel::Short, Text);
  return -1;
}

int TS51Simulator::Run() {
  // Blocked before the port is announced, so a stop that follows at once still ends cleanly; s51
  // starts with them unblocked.
  sigset_t Signals;
  sigemptyset(&Signals);
  sigaddset(&Signals, SIGINT);
  sigaddset(&Signals, SIGTERM);
  sigaddset(&Signals, SIGCHLD);
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
  const std::string Path = Pty.Path;

  std::unique_ptr<TPortLink> Link;  // removed when Run returns, if still ours
  if (!O_.LinkPath.empty()) {
    try {
      Link = std::make_unique<TPortLink>(O_.LinkPath, Path);
    } catch (const std::runtime_error& E) {
      Error(E.what());
      return 1;
    }
  }
  std::printf("%s\n", Path.c_str());
  std::fflush(stdout);

  int Status = -1;
  while (Status < 0) {
    TClock::time_point Now = TClock::now();
    if (!Open_ && !Device_ && PortOpened(Master_)) {
      Open_ = true;
      HelloPending_ = !Finished_ || !O_.Once;
      HelloDue_ = Now + std::chrono::milliseconds(O_.HelloDelayMs);
      Log(TLogLevel::Full, "port opened");
    }

    auto Wait = std::chrono::nanoseconds(std::chrono::seconds(1));
    if (!Open_ || ClosedWhileOn_ || Finished_) Wait = std::chrono::milliseconds(5);
    if (HelloPending_)
      Wait = std::min<std::chrono::nanoseconds>(Wait, std::max(HelloDue_ - Now, TClock::duration::zero()));
    const timespec Timeout{static_cast<time_t>(Wait.count() / 1'000'000'000),
                           static_cast<long>(Wait.count() % 1'000'000'000)};
    const bool On = Device_ != nullptr;
    pollfd P[4] = {
        {SignalFd.Get(), POLLIN, 0},
        {Open_ ? Master_ : -1, static_cast<short>(POLLIN | (ToLoader_.empty() ? 0 : POLLOUT)), 0},
        {On ? Device_->FromDevice() : -1, POLLIN, 0},
        {On && !ToDevice_.empty() ? Device_->ToDevice() : -1, POLLOUT, 0},
    };
    if (::ppoll(P, 4, &Timeout, nullptr) < 0 && errno != EINTR) {
      Error(std::string("poll: ") + std::strerror(errno));
      Status = 1;
      break;
    }
    Now = TClock::now();

    if (P[0].revents & POLLIN) {
      signalfd_siginfo Info[8];
      bool Stop = false;
      for (ssize_t N; (N = ::read(SignalFd.Get(), Info, sizeof Info)) > 0;)
        for (ssize_t i = 0; i < N / static_cast<ssize_t>(sizeof Info[0]); ++i)
          if (Info[i].ssi_signo != SIGCHLD) Stop = true;
      if (Stop) {
        Log(TLogLevel::Short, "stopped");
        Status = Finished_ ? 0 : SwitchOff("stopped before the end frame");
        break;
      }
    }

    if (Open_ && (P[1].revents & POLLIN)) {
      std::vector<std::uint8_t> In;
      Drain(Master_, In);
      FromLoader_ += static_cast<long>(In.size());
      if (Device_ && !ClosedWhileOn_) ToDevice_.insert(ToDevice_.end(), In.begin(), In.end());
      else if (!In.empty())
        Log(TLogLevel::Full, std::to_string(In.size()) + " bytes while the device is off: not heard");
    }
    if (Open_ && (P[1].revents & POLLHUP) && !(P[1].revents & POLLIN)) {
      Open_ = false;
      HelloPending_ = false;
      ToLoader_.clear();
      Log(TLogLevel::Full, "port closed");
      if (Device_) ClosedWhileOn_ = true;
      ClosedAt_ = LastDeviceOutput_ = Now;
    }
    if (Device_) {
      const std::size_t Before = ToLoader_.size();
      Drain(Device_->FromDevice(), ToLoader_);
      if (ToLoader_.size() != Before) LastDeviceOutput_ = Now;
      Flush(Device_->ToDevice(), ToDevice_);
    }
    if (Open_ && !ToLoader_.empty()) {
      const std::size_t Before = ToLoader_.size();
      Flush(Master_, ToLoader_);
      ToLoaderCount_ += static_cast<long>(Before - ToLoader_.size());
    } else if (!Open_) {
      ToLoader_.clear();
    }

    if (Device_ && Device_->Ended()) {
      Status = OnS51Ended();
      ClosedWhileOn_ = false;
      if (Status >= 0) break;
    }
    if (Device_ && ClosedWhileOn_ && (Now - LastDeviceOutput_ > SwitchOffQuiet || Now - ClosedAt_ > SwitchOffLatest)) {
      ClosedWhileOn_ = false;
      if (SwitchOff("the port was closed before the end frame") != 0) {
        Status = 1;
        break;
      }
    }
    if (HelloPending_ && Open_ && Now >= HelloDue_) {
      HelloPending_ = false;
      try {
        SwitchOn();
      } catch (const std::runtime_error& E) {
        Error(E.what());
        Status = 1;
        break;
      }
    }
    if (O_.Once && Finished_ && ToLoader_.empty() && (!Open_ || Now - FinishedAt_ > OnceLinger)) Status = 0;
  }
  Device_.reset();
  return Status;
}

}  // namespace

int RunS51Simulator(const TSimOptions& Options) {
  if (const std::string Option = OptionNotForS51(Options); !Option.empty()) {
    std::fprintf(stderr, "hexloader-sim: %s\n\n%s", s51::OptionNotForS51(Option).c_str(), SimUsage);
    return 2;
  }
  const std::string Program = s51::FindProgram();
  if (Program.empty()) {
    Error(s51::NotInstalled());
    return 1;
  }
  std::string Firmware;
  try {
    Firmware = CheckFirmware(Options.S51Firmware);
  } catch (const std::runtime_error& E) {
    Error(E.what());
    return 1;
  }
  TS51Simulator Sim(Options, Program, Firmware);
  return Sim.Run();
}

}  // namespace hexloader::sim
