#pragma once
// Command-line options of hexloader-sim.
#include <string>
#include <vector>

#include "tools/sim/device_model.h"

namespace hexloader::sim {

enum class TLogLevel { None, Short, Full };

struct TSimOptions {
  std::string LinkPath;       // symbolic link to the port's path, made at start and removed at exit
  std::string MemoryPath;     // where the memory goes when the end frame arrives
  int HelloDelayMs = 100;     // the device is switched on this long after the port was opened
  bool HelloOnEnter = false;  // ... or when Enter is pressed on standard input
  long BitRate = 0;           // pace the line at this many bit/s (10 bit times per byte); 0 = unpaced
  int ReplyDelayMs = 0;       // a slow device: each reply leaves this long after its frame arrived
  int UsbLatencyMs = 0;       // a USB adapter's latency timer: the device's bytes reach the loader in bursts
  int UsbCdcMs = 0;           // a USB device: its bytes reach the loader in 64-byte packets, one every this many ms
  bool Once = false;          // exit after the first end frame (of the last board, on every device)
  int Devices = 1;            // devices, each on a pseudo-terminal of its own
  int Boards = 1;             // boards each device plays in turn: after an end frame the next switches on
  TLogLevel Log = TLogLevel::Short;
  bool Version = false;  // print the version and exit
  TFaults Faults;
  std::string S51Firmware;  // play the device with s51 running this device program (Intel HEX)
  std::string AvrFirmware;  // play the device with simavr running this bootloader (AVR ELF)
  std::string FlashPath;  // --avr: the flash below the bootloader starts with this flat image (a board with a program)
  long AppMs = -1;        // --avr: how long the started application runs (device time); -1: until switched off
};

extern const char* const SimUsage;

// The file for one device and board: Path itself for one device and one board; otherwise Path with
// "-D" (device, from 1) when there are several devices and "-bB" (board, from 1) when there are
// several boards, put before the extension of its last component: mem.bin -> mem-2-b3.bin.
std::string NumberedPath(const std::string& Path, int Device, int Devices, int Board, int Boards);

// Raises std::invalid_argument with a message for a bad option. Sets Help when --help was given.
TSimOptions ParseSimOptions(const std::vector<std::string>& Args, bool& Help);

}  // namespace hexloader::sim
