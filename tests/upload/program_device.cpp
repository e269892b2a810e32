#include "tests/upload/program_device.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

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

TProgramDevice::TProgramDevice(const std::string& Dir, const std::string& Option, const std::string& Firmware,
                               const std::vector<std::string>& Args)
    : Firmware_(Dir + "/" + std::filesystem::path(Firmware).filename().string()), ErrorsPath_(Dir + "/sim-errors.txt") {
  std::filesystem::copy_file(Firmware, Firmware_, std::filesystem::copy_options::overwrite_existing);
  std::vector<std::string> All{SimPath(), "--log", "none", Option, Firmware_};
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
    throw std::runtime_error("hexloader-sim " + Option + " printed no port: " + Errors());
  }
}

TProgramDevice::~TProgramDevice() {
  if (Pid_ > 0) Stop();
}

int TProgramDevice::Wait() {
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

int TProgramDevice::Stop() {
  if (Pid_ <= 0) return -1;
  ::kill(Pid_, SIGTERM);
  return Wait();
}

std::string TProgramDevice::Errors() const {
  std::ifstream In(ErrorsPath_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), {});
}

}  // namespace hexloader::test
