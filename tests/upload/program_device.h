#pragma once
// hexloader-sim playing the device with a simulator program (--s51, --avr) as a child process of one
// test. It runs its own copy of the device program, so that a simulator process it starts can be told
// apart from any other on the machine, keeps its standard error in a file, and is stopped however the
// test ends: the tests must never leave a simulator running.
#include <sys/types.h>

#include <string>
#include <vector>

namespace hexloader::test {

class TProgramDevice {
 public:
  // Copies Firmware into Dir and starts hexloader-sim Option (--s51, --avr) on the copy, with
  // "--log none" and then Args (which may choose another log).
  TProgramDevice(const std::string& Dir, const std::string& Option, const std::string& Firmware,
                 const std::vector<std::string>& Args);
  ~TProgramDevice();  // SIGTERM; SIGKILL if that does not end it
  TProgramDevice(const TProgramDevice&) = delete;
  TProgramDevice& operator=(const TProgramDevice&) = delete;

  const std::string& PortPath() const { return PortPath_; }
  const std::string& Firmware() const { return Firmware_; }
  pid_t Pid() const { return Pid_; }
  // Waits for the simulator to end by itself; its exit status. Kills it and returns -1 when it has not
  // ended after a generous while (a hang, not a slow machine).
  int Wait();
  // SIGTERM, then waits; the exit status.
  int Stop();
  std::string Errors() const;  // what it wrote to standard error so far

 private:
  pid_t Pid_ = -1;
  std::string PortPath_;
  std::string Firmware_;
  std::string ErrorsPath_;
};

}  // namespace hexloader::test
