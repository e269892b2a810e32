#pragma once
// What hexloader-sim tells s51 and what it reads from s51's output. s51 runs in a working folder of
// its own, so the files it uses are named relative to it.
#include <string>
#include <vector>

namespace hexloader::sim::s51 {

inline constexpr const char* ToDeviceFifo = "to-device";      // the device's receive line
inline constexpr const char* FromDeviceFifo = "from-device";  // the device's transmit line
inline constexpr const char* MemoryFile = "memory.bin";       // external data memory, read back at the end
inline constexpr const char* LogFile = "s51.log";             // s51's console output
inline constexpr std::size_t MemorySize = 65536;

// s51's command line (without the program's own path) for the device program Firmware (an absolute path).
std::vector<std::string> Arguments(const std::string& Firmware);

// The console commands, all given at once on standard input: s51 reads the ones after "run" only
// when the simulation has stopped.
std::string ConsoleScript();

// Whether s51's output says the program stopped the simulation itself (the device program's finish).
bool StoppedItself(const std::string& Log);
// The line of s51's output that says where and why the simulation stopped; empty when there is none.
std::string StopLine(const std::string& Log);

}  // namespace hexloader::sim::s51
