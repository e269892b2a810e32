#include "tests/upload/s51_device.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "tests/upload/sim_process.h"

extern char** environ;

namespace hexloader::test {
namespace {

using namespace std::chrono_literals;

// Generous: a 64 KiB upload takes seconds in s51; this only tells a hang from a loaded machine.
constexpr auto HangBound = 300s;

int ExitStatus(int Status) { return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status); }

}  // namespace

std::string DeviceProgram() { return HEXLOADER_DEVICE51_PATH; }
std::string WrongReplyDeviceProgram() { return HEXLOADER_DEVICE51_WRONG_REPLY_PATH; }
std::string DeviceProgramAt57600() { return HEXLOADER_DEVICE51_57600_PATH; }

TS51Device::TS51Device(const std::string& Dir, const std::string& Firmware, const std::vector<std::string>& Args)
    : Firmware_(Dir + "/" + std::filesystem::path(Firmware).filename().string()), ErrorsPath_(Dir + "/sim-errors.txt") {
  std::filesystem::copy_file(Firmware, Firmware_, std::filesystem::copy_options::overwrite_existing);
  std::vector<std::string> All{SimPath(), "--log", "none", "--s51", Firmware_};
  All.insert(All.end(), Args.begin(), Args.end());
  std::vector<char*> Argv;
  for (std::string& A : All) Argv.push_back(A.data());
  Argv.push_back(nullptr);
  // s51's working folders go into the test's folder, so even a killed simulator leaves nothing behind.
  std::string TmpDir = "TMPDIR=" + Dir;
  std::vector<char*> Env{TmpDir.data()};
  for (char** E = environ; *E; ++E)
    if (std::string(*E).rfind("TMPDIR=", 0) != 0) Env.push_back(*E);
  Env.push_back(nullptr);

  int Pipe[2];
  if (::pipe2(Pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  // Forked rather than spawned so that the simulator is told to stop (and takes s51 with it) even when
  // the test process dies without running its destructors.
  const pid_t Parent = ::getpid();
  Pid_ = ::fork();
  if (Pid_ == 0) {
    // Only async-signal-safe calls here: the test process may have other threads.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != Parent) ::_exit(127);
    const int Errors = ::open(ErrorsPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (Errors < 0 || ::dup2(Pipe[1], STDOUT_FILENO) < 0 || ::dup2(Errors, STDERR_FILENO) < 0) ::_exit(127);
    ::execve(Argv[0], Argv.data(), Env.data());
    ::_exit(127);
  }
  ::close(Pipe[1]);
  if (Pid_ < 0) {
    ::close(Pipe[0]);
    throw std::runtime_error("cannot start " + All[0]);
  }
  char C;
  while (::read(Pipe[0], &C, 1) == 1 && C != '\n') PortPath_ += C;
  ::close(Pipe[0]);
  if (PortPath_.empty()) {
    Stop();
    throw std::runtime_error("hexloader-sim --s51 printed no port: " + Errors());
  }
}

TS51Device::~TS51Device() {
  if (Pid_ > 0) Stop();
}

int TS51Device::Wait() {
  if (Pid_ <= 0) return -1;
  const auto Until = std::chrono::steady_clock::now() + HangBound;
  int Status = 0;
  for (;;) {
    const pid_t R = ::waitpid(Pid_, &Status, WNOHANG);
    if (R == Pid_) break;
    if (R < 0 && errno != EINTR) {
      Pid_ = -1;
      return -1;
    }
    if (std::chrono::steady_clock::now() > Until) {
      ::kill(Pid_, SIGKILL);
      ::waitpid(Pid_, &Status, 0);
      Pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  Pid_ = -1;
  return ExitStatus(Status);
}

int TS51Device::Stop() {
  if (Pid_ <= 0) return -1;
  ::kill(Pid_, SIGTERM);
  return Wait();
}

std::string TS51Device::Errors() const {
  std::ifstream In(ErrorsPath_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), {});
}

std::string DeviceMemoryDifference(const std::vector<std::uint8_t>& Memory, const std::vector<std::uint8_t>& Image) {
  constexpr std::size_t Size = 65536;
  if (Memory.size() != Size) return "memory of " + std::to_string(Memory.size()) + " bytes, not " + std::to_string(Size);
  const std::size_t FrameEnd = std::min(Size, (Image.size() / 128 + 1) * 128);
  for (std::size_t At = 0; At < Size; ++At) {
    const std::uint8_t Expected = At < Image.size() ? Image[At] : At < FrameEnd ? 0x00 : 0xFF;
    if (Memory[At] != Expected)
      return "byte " + std::to_string(At) + " is " + std::to_string(Memory[At]) + ", not " + std::to_string(Expected);
  }
  return "";
}

bool ProcessRunningWith(const std::string& Text) {
  std::error_code Error;
  for (const auto& Entry : std::filesystem::directory_iterator("/proc", Error)) {
    const std::string Name = Entry.path().filename().string();
    if (Name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream In(Entry.path() / "cmdline", std::ios::binary);
    std::string Arg;
    while (std::getline(In, Arg, '\0'))
      if (Arg == Text) return true;
  }
  return false;
}

bool NoProcessRunningWith(const std::string& Text) {
  const auto Until = std::chrono::steady_clock::now() + 30s;
  while (ProcessRunningWith(Text)) {
    if (std::chrono::steady_clock::now() > Until) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

}  // namespace hexloader::test
