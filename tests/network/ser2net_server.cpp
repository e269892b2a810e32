#include "tests/network/ser2net_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

extern char** environ;

namespace hexloader::test {

TSer2netServer::TSer2netServer(const std::vector<std::string>& Devices, TSer2netDelays Delays) {
  std::vector<std::string> args{"/bin/bash", HEXLOADER_SER2NET_SERVE};
  if (Delays.CharDelay) args.push_back("--chardelay");
  if (Delays.Nagle) args.push_back("--nagle");
  args.insert(args.end(), Devices.begin(), Devices.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  const int r = ::posix_spawn(&Pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (r != 0) {
    ::close(out[0]);
    Pid_ = -1;
    throw std::runtime_error("cannot start ser2net-serve.sh");
  }
  // One port a line, once ser2net listens; end of file when it could not start (its reasons went to
  // standard error, where the test's output shows them).
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Ports_.size() < Devices.size() && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char c;
    const ssize_t n = ::read(out[0], &c, 1);
    if (n <= 0) break;
    if (c != '\n') {
      text += c;
      continue;
    }
    Ports_.push_back(static_cast<std::uint16_t>(std::stoi(text)));
    text.clear();
  }
  ::close(out[0]);
  if (Ports_.size() != Devices.size()) {
    Stop();
    throw std::runtime_error("ser2net did not start (see its messages above)");
  }
}

TSer2netServer::~TSer2netServer() { Stop(); }

void TSer2netServer::Stop() {
  if (Pid_ <= 0) return;
  ::kill(Pid_, SIGTERM);
  int status = 0;
  while (::waitpid(Pid_, &status, 0) < 0 && errno == EINTR) {}
  Pid_ = -1;
}

}  // namespace hexloader::test
