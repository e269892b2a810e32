#include "tests/upload/s51_device.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace hexloader::test {

using namespace std::chrono_literals;

std::string DeviceProgram() { return HEXLOADER_DEVICE51_PATH; }
std::string WrongReplyDeviceProgram() { return HEXLOADER_DEVICE51_WRONG_REPLY_PATH; }
std::string DeviceProgramAt57600() { return HEXLOADER_DEVICE51_57600_PATH; }

std::string DeviceMemoryDifference(const std::vector<std::uint8_t>& Memory, const std::vector<std::uint8_t>& Image) {
  constexpr std::size_t Size = 65536;
  if (Memory.size() != Size)
    return "memory of " + std::to_string(Memory.size()) + " bytes, not " + std::to_string(Size);
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
