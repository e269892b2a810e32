#include "tests/upload/sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace hexloader::test {
namespace {

std::vector<char*> Argv(std::vector<std::string>& Args) {
  std::vector<char*> V;
  for (std::string& A : Args) V.push_back(A.data());
  V.push_back(nullptr);
  return V;
}

int WaitStatus(pid_t Pid) {
  int Status = 0;
  while (::waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {}
  if (WIFEXITED(Status)) return WEXITSTATUS(Status);
  return 128 + WTERMSIG(Status);
}

std::string ReadAll(int Fd) {
  std::string Text;
  char Buf[4096];
  ssize_t N;
  while ((N = ::read(Fd, Buf, sizeof Buf)) != 0) {
    if (N < 0) {
      if (errno == EINTR) continue;
      break;
    }
    Text.append(Buf, static_cast<std::size_t>(N));
  }
  return Text;
}

}  // namespace

std::string SimPath() { return HEXLOADER_SIM_PATH; }
std::string CliPath() {
  // The Windows build's harness runs these cases against hexloader-cli.exe under wine through a stand-in.
  if (const char* StandIn = std::getenv("HEXLOADER_TEST_CLI"); StandIn && *StandIn) return StandIn;
  return HEXLOADER_CLI_PATH;
}

TSimProcess::TSimProcess(const std::vector<std::string>& Args, int Ports, const std::string& LogPath) {
  int Pipe[2];
  if (::pipe2(Pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  std::vector<std::string> All{SimPath(), "--log", LogPath.empty() ? "none" : "short"};
  All.insert(All.end(), Args.begin(), Args.end());
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
  if (!LogPath.empty())
    posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, LogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto V = Argv(All);
  const int R = ::posix_spawn(&Pid_, V[0], &Actions, nullptr, V.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  ::close(Pipe[1]);
  if (R != 0) {
    ::close(Pipe[0]);
    throw std::runtime_error("cannot start " + All[0]);
  }
  for (int i = 0; i < Ports; ++i) {
    std::string Path;
    char C;
    while (::read(Pipe[0], &C, 1) == 1 && C != '\n') Path += C;
    if (Path.empty()) break;
    PortPaths_.push_back(Path);
  }
  ::close(Pipe[0]);
  if (static_cast<int>(PortPaths_.size()) != Ports) {
    Stop();
    throw std::runtime_error("the simulator printed " + std::to_string(PortPaths_.size()) + " of " +
                             std::to_string(Ports) + " ports");
  }
}

TSimProcess::~TSimProcess() {
  if (Pid_ > 0) Stop();
}

int TSimProcess::Wait() {
  const int Status = WaitStatus(Pid_);
  Pid_ = -1;
  return Status;
}

int TSimProcess::Stop() {
  if (Pid_ <= 0) return -1;
  ::kill(Pid_, SIGTERM);
  return Wait();
}

TChildProcess::TChildProcess(const std::vector<std::string>& Args, const std::string& Dir, const std::string& OutFile,
                             const std::string& ErrFile) {
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!Dir.empty()) posix_spawn_file_actions_addchdir_np(&Actions, Dir.c_str());
  std::vector<std::string> All = Args;
  auto V = Argv(All);
  const int R = ::posix_spawn(&Pid_, V[0], &Actions, nullptr, V.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  if (R != 0) throw std::runtime_error("cannot start " + All[0]);
}

TChildProcess::~TChildProcess() {
  if (Pid_ <= 0) return;
  ::kill(Pid_, SIGKILL);
  Wait();
}

void TChildProcess::Signal(int Number) {
  if (Pid_ > 0) ::kill(Pid_, Number);
}

int TChildProcess::Wait() {
  if (Pid_ <= 0) return -1;
  const int Status = WaitStatus(Pid_);
  Pid_ = -1;
  return Status;
}

int RunProgram(const std::vector<std::string>& Args, std::string* Out, std::string* Err, const std::string& Dir) {
  int OutPipe[2], ErrPipe[2];
  if (::pipe2(OutPipe, O_CLOEXEC) != 0 || ::pipe2(ErrPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, OutPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&Actions, ErrPipe[1], STDERR_FILENO);
  if (!Dir.empty()) posix_spawn_file_actions_addchdir_np(&Actions, Dir.c_str());
  std::vector<std::string> All = Args;
  auto V = Argv(All);
  pid_t Pid = -1;
  const int R = ::posix_spawn(&Pid, V[0], &Actions, nullptr, V.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  ::close(OutPipe[1]);
  ::close(ErrPipe[1]);
  if (R != 0) throw std::runtime_error("cannot start " + All[0]);
  std::string ErrText;
  // Standard error on a thread of its own so that neither pipe can fill and stall the child.
  std::thread ErrReader([&] { ErrText = ReadAll(ErrPipe[0]); });  // owned here, joined below
  std::string OutText = ReadAll(OutPipe[0]);
  ErrReader.join();
  ::close(OutPipe[0]);
  ::close(ErrPipe[0]);
  if (Out) *Out = OutText;
  if (Err) *Err = ErrText;
  return WaitStatus(Pid);
}

}  // namespace hexloader::test
