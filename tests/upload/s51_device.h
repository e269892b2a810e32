#pragma once
// hexloader-sim --s51 as a child process of one test. It runs its own copy of the device program, so
// that the s51 it starts can be told apart from any other on the machine, keeps its standard error in
// a file, and is stopped however the test ends: the tests must never leave s51 running.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hexloader::test {

// The device program builds: the simulation build, the one that answers frame 4 wrongly, and the one
// that talks at 57,600 bit/s.
std::string DeviceProgram();
std::string WrongReplyDeviceProgram();
std::string DeviceProgramAt57600();

class TS51Device {
 public:
  // Copies Firmware into Dir and starts hexloader-sim --s51 on the copy with Args.
  TS51Device(const std::string& Dir, const std::string& Firmware, const std::vector<std::string>& Args);
  ~TS51Device();  // SIGTERM; SIGKILL if that does not end it
  TS51Device(const TS51Device&) = delete;
  TS51Device& operator=(const TS51Device&) = delete;

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

// The device's whole memory (64 KiB) after an upload of Image holds the image from address 0, the zero
// fill of the last frame, and the erased state 0xFF where no frame wrote. Returns "" when it does, else
// where it does not.
std::string DeviceMemoryDifference(const std::vector<std::uint8_t>& Memory, const std::vector<std::uint8_t>& Image);

// Whether a running process has Text among its command-line arguments (an s51 on a firmware copy).
bool ProcessRunningWith(const std::string& Text);
// Waits (generously) until no process has Text among its arguments; false if one still has.
bool NoProcessRunningWith(const std::string& Text);

}  // namespace hexloader::test
