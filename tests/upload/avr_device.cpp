#include "tests/upload/avr_device.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace hexloader::test {

std::string AvrBootloader() { return HEXLOADER_DEVICE_AVR_PATH; }

std::vector<std::uint8_t> AvrBootloaderBytes() {
  std::ifstream In(HEXLOADER_DEVICE_AVR_BIN_PATH, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(In), {});
}

TAvrDevice::TAvrDevice(const std::string& Dir, const std::vector<std::string>& Args)
    : TProgramDevice(Dir, "--avr", AvrBootloader(), [&Args] {
        std::vector<std::string> All{"--log", "short"};
        All.insert(All.end(), Args.begin(), Args.end());
        return All;
      }()) {}

std::vector<std::uint8_t> FreshAvrFlash() {
  std::vector<std::uint8_t> Flash(AvrFlashSize, 0xFF);
  const std::vector<std::uint8_t> Boot = AvrBootloaderBytes();
  std::copy(Boot.begin(), Boot.begin() + static_cast<long>(std::min(Boot.size(), AvrFlashSize - AvrBootStart)),
            Flash.begin() + AvrBootStart);
  return Flash;
}

std::string AvrFlashDifference(const std::vector<std::uint8_t>& Flash, const std::vector<std::uint8_t>& Image) {
  if (Flash.size() != AvrFlashSize) return "flash of " + std::to_string(Flash.size()) + " bytes, not 32768";
  const std::vector<std::uint8_t> Boot = AvrBootloaderBytes();
  if (Boot.empty() || AvrBootStart + Boot.size() > AvrFlashSize) return "the bootloader's bytes are unreadable";
  // Frames go out for the image's bytes and the zero fill after them; the bootloader takes those
  // below its own section.
  const std::size_t FrameEnd = std::min(AvrBootStart, (Image.size() / 128 + 1) * 128);
  for (std::size_t At = 0; At < AvrFlashSize; ++At) {
    std::uint8_t Expected = 0xFF;
    if (At >= AvrBootStart) Expected = At - AvrBootStart < Boot.size() ? Boot[At - AvrBootStart] : 0xFF;
    else if (At < Image.size()) Expected = Image[At];
    else if (At < FrameEnd) Expected = 0x00;
    if (Flash[At] != Expected)
      return "byte " + std::to_string(At) + " is " + std::to_string(Flash[At]) + ", not " + std::to_string(Expected);
  }
  return "";
}

double ApplicationStartSeconds(const std::string& Log) {
  const std::string Mark = "the bootloader started the application at ";
  const std::size_t At = Log.find(Mark);
  if (At == std::string::npos) return -1;
  return std::stod(Log.substr(At + Mark.size()));
}

std::vector<TPinEdge> PinEdges(const std::string& Log, int Pin) {
  std::vector<TPinEdge> Edges;
  std::istringstream In(Log);
  const std::string Name = "hexloader-sim: PB" + std::to_string(Pin) + " ";
  for (std::string Line; std::getline(In, Line);) {
    if (Line.rfind(Name, 0) != 0) continue;
    char Level[8] = {};
    double Seconds = 0;
    if (std::sscanf(Line.c_str() + Name.size(), "%7s at %lf s", Level, &Seconds) == 2)
      Edges.push_back({Seconds, std::string(Level) == "high"});
  }
  return Edges;
}

}  // namespace hexloader::test
