#pragma once
// hexloader-sim --avr (the ATmega328P in simavr running our bootloader) as a child process of one test,
// and what the tests read from the board afterwards: its flash and the changes of its pins.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/upload/program_device.h"

namespace hexloader::test {

// The bootloader build (ELF) and its bytes from the boot section's start on.
std::string AvrBootloader();
std::vector<std::uint8_t> AvrBootloaderBytes();
constexpr std::size_t AvrBootStart = HEXLOADER_AVR_BOOT_START;
constexpr std::size_t AvrFlashSize = 32768;

class TAvrDevice : public TProgramDevice {
 public:
  // Starts hexloader-sim --avr on a copy of the bootloader in Dir, logging the board's events (the
  // application's start, the pin changes) to its standard error, with Args.
  TAvrDevice(const std::string& Dir, const std::vector<std::string>& Args);
};

// A fresh board's flash: erased (0xFF), with the bootloader in its section.
std::vector<std::uint8_t> FreshAvrFlash();

// The board's flash after an upload of Image, up to the frame that was refused if one was: each page a
// frame was accepted for holds its frame (the image, then the last frame's zero fill), the pages below
// the bootloader no frame reached are erased (0xFF), and the boot section holds the bootloader unchanged.
// Returns "" when it does, else where it does not.
std::string AvrFlashDifference(const std::vector<std::uint8_t>& Flash, const std::vector<std::uint8_t>& Image);

// From the simulator's log: the device time at which the bootloader started the application (-1 if
// it did not), and the changes of pin PB<Pin> as (device time, high) pairs, in order.
double ApplicationStartSeconds(const std::string& Log);
struct TPinEdge {
  double Seconds;
  bool High;
};
std::vector<TPinEdge> PinEdges(const std::string& Log, int Pin);

}  // namespace hexloader::test
