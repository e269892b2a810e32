#pragma once
// hexloader-sim --s51 as a child process of one test (see program_device.h), and what the tests read
// from the device afterwards.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/upload/program_device.h"

namespace hexloader::test {

// The device program builds: the simulation build, the one that answers frame 4 wrongly, and the one
// that talks at 57,600 bit/s.
std::string DeviceProgram();
std::string WrongReplyDeviceProgram();
std::string DeviceProgramAt57600();

class TS51Device : public TProgramDevice {
 public:
  // Copies Firmware into Dir and starts hexloader-sim --s51 on the copy with Args.
  TS51Device(const std::string& Dir, const std::string& Firmware, const std::vector<std::string>& Args)
      : TProgramDevice(Dir, "--s51", Firmware, Args) {}
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
