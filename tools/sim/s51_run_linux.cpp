// s51 as a child process on Linux: fork and exec, so that the child can ask the kernel to kill it when
// hexloader-sim dies in any way, and can start in its working folder with SIGINT/SIGTERM unblocked.
#include "tools/sim/s51_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "tools/sim/s51_console.h"
#include "tools/sim/s51_messages.h"

namespace hexloader::sim::s51 {
namespace {

std::string TempBase() {
  const char* Dir = std::getenv("TMPDIR");
  return Dir && *Dir ? Dir : "/tmp";
}

void CloseFd(int& Fd) {
  if (Fd >= 0) ::close(Fd);
  Fd = -1;
}

// Both ends of a FIFO held open for reading and writing: opening never blocks, and s51's own opens
// (read for its input, write for its output) find the other side present at once.
int OpenFifo(const std::string& Path) {
  if (::mkfifo(Path.c_str(), 0600) != 0) throw std::runtime_error(CannotPrepare(Path, errno));
  const int Fd = ::open(Path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (Fd < 0) throw std::runtime_error(CannotPrepare(Path, errno));
  return Fd;
}

[[noreturn]] void ExecInChild(const char* Folder, char* const* Argv, int Console, int Log, pid_t Parent) {
  // Only async-signal-safe calls from here on.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != Parent) ::_exit(127);  // hexloader-sim died before the request took hold
  sigset_t None;
  sigemptyset(&None);
  ::sigprocmask(SIG_SETMASK, &None, nullptr);
  if (::chdir(Folder) != 0) ::_exit(127);
  ::dup2(Console, STDIN_FILENO);
  ::dup2(Log, STDOUT_FILENO);
  ::dup2(Log, STDERR_FILENO);
  ::execv(Argv[0], Argv);
  ::_exit(127);
}

}  // namespace

std::string FindProgram() {
  const char* Path = std::getenv("PATH");
  std::stringstream Dirs(Path ? Path : "");
  std::string Dir;
  while (std::getline(Dirs, Dir, ':')) {
    if (Dir.empty()) continue;
    const std::string Candidate = Dir + "/s51";
    if (::access(Candidate.c_str(), X_OK) == 0) return Candidate;
  }
  return "";
}

TRun::TRun(const std::string& Program, const std::string& Firmware) {
  std::string Pattern = TempBase() + "/hexloader-s51-XXXXXX";
  if (!::mkdtemp(Pattern.data())) throw std::runtime_error(CannotPrepare("a working folder in " + TempBase(), errno));
  Folder_ = Pattern;
  try {
    ToDevice_ = OpenFifo(Folder_ + "/" + ToDeviceFifo);
    FromDevice_ = OpenFifo(Folder_ + "/" + FromDeviceFifo);

    const std::string LogPath = Folder_ + "/" + LogFile;
    const int Log = ::open(LogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (Log < 0) throw std::runtime_error(CannotPrepare(LogPath, errno));
    int Console[2];
    if (::pipe2(Console, O_CLOEXEC) != 0) {
      const int Error = errno;
      ::close(Log);
      throw std::runtime_error(CannotPrepare("a console pipe", Error));
    }
    std::vector<std::string> Args{Program};
    for (std::string& A : Arguments(Firmware)) Args.push_back(std::move(A));
    std::vector<char*> Argv;  // made before the fork: the child only calls what is safe there
    for (std::string& A : Args) Argv.push_back(A.data());
    Argv.push_back(nullptr);

    const pid_t Parent = ::getpid();
    Pid_ = ::fork();
    if (Pid_ == 0) ExecInChild(Folder_.c_str(), Argv.data(), Console[0], Log, Parent);
    const int ForkError = errno;
    ::close(Console[0]);
    ::close(Log);
    if (Pid_ < 0) {
      ::close(Console[1]);
      throw std::runtime_error(CannotStart(ForkError));
    }
    // The whole script fits the pipe; closing our end lets s51 see the end of its console after "kill".
    const std::string Script = ConsoleScript();
    const bool Written = ::write(Console[1], Script.data(), Script.size()) == static_cast<ssize_t>(Script.size());
    const int WriteError = errno;
    ::close(Console[1]);
    if (!Written) throw std::runtime_error(CannotStart(WriteError));
  } catch (...) {
    Kill();
    CloseFd(ToDevice_);
    CloseFd(FromDevice_);
    std::error_code Ignored;
    std::filesystem::remove_all(Folder_, Ignored);
    throw;
  }
}

TRun::~TRun() {
  Kill();
  CloseFd(ToDevice_);
  CloseFd(FromDevice_);
  std::error_code Ignored;
  std::filesystem::remove_all(Folder_, Ignored);
}

bool TRun::Ended() {
  if (Pid_ <= 0) return true;
  int Status = 0;
  const pid_t R = ::waitpid(Pid_, &Status, WNOHANG);
  if (R == Pid_ || (R < 0 && errno == ECHILD)) Pid_ = -1;
  return Pid_ <= 0;
}

void TRun::Kill() {
  if (Pid_ <= 0) return;
  ::kill(Pid_, SIGKILL);
  int Status = 0;
  while (::waitpid(Pid_, &Status, 0) < 0 && errno == EINTR) {}
  Pid_ = -1;
}

std::string TRun::Log() const {
  std::ifstream In(Folder_ + "/" + LogFile, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), {});
}

std::vector<std::uint8_t> TRun::Memory() const {
  const std::string Path = Folder_ + "/" + MemoryFile;
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error(MemoryUnreadable("s51 wrote no " + std::string(MemoryFile)));
  std::vector<std::uint8_t> Memory(std::istreambuf_iterator<char>(In), {});
  if (Memory.size() != MemorySize)
    throw std::runtime_error(
        MemoryUnreadable(std::to_string(Memory.size()) + " bytes instead of " + std::to_string(MemorySize)));
  return Memory;
}

}  // namespace hexloader::sim::s51
