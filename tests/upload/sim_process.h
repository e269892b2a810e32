#pragma once
// hexloader-sim as a child process: started with options, its port paths read from its first lines
// (one per device), stopped with SIGTERM (or awaited) at the end.
#include <sys/types.h>

#include <string>
#include <vector>

namespace hexloader::test {

class TSimProcess {
 public:
  // Ports: how many paths the simulator prints (its --devices). LogPath, when given, receives its short
  // log (standard error); otherwise it logs nothing.
  explicit TSimProcess(const std::vector<std::string>& Args, int Ports = 1, const std::string& LogPath = "");
  ~TSimProcess();
  TSimProcess(const TSimProcess&) = delete;
  TSimProcess& operator=(const TSimProcess&) = delete;

  const std::string& PortPath() const { return PortPaths_.front(); }
  const std::vector<std::string>& PortPaths() const { return PortPaths_; }
  // Waits for the simulator to end by itself (--once, hang-up); returns its exit status.
  int Wait();
  // SIGTERM, then waits; returns the exit status.
  int Stop();

 private:
  pid_t Pid_ = -1;
  std::vector<std::string> PortPaths_;
};

// A program running in the background with its standard output and error going to files, for tests
// that signal it while it runs.
class TChildProcess {
 public:
  TChildProcess(const std::vector<std::string>& Args, const std::string& Dir, const std::string& OutFile,
                const std::string& ErrFile);
  ~TChildProcess();  // SIGKILL when still running
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  void Signal(int Number);
  // Waits for the end; returns the exit status (128 + the signal when killed by one).
  int Wait();

 private:
  pid_t Pid_ = -1;
};

// The path of the built simulator and command-line tool.
std::string SimPath();
std::string CliPath();

// Runs a program to its end with its standard output and error captured; returns its exit status.
int RunProgram(const std::vector<std::string>& Args, std::string* Out, std::string* Err, const std::string& Dir = "");

}  // namespace hexloader::test
