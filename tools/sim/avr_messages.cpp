#include "tools/sim/avr_messages.h"

#include <cstdio>
#include <cstring>

namespace hexloader::sim::avr {

std::string NotBuilt() {
  return "--avr is not available: hexloader-sim was built without simavr (Debian packages libsimavr-dev, "
         "libelf-dev)";
}

std::string FirmwareUnreadable(const std::string& Path, int Error) {
  return "cannot read the bootloader " + Path + ": " + std::strerror(Error);
}

std::string FirmwareNotElf(const std::string& Path) {
  return "the bootloader " + Path + " is not an AVR ELF file (build it with 'make device-avr')";
}

std::string FirmwareDoesNotFit(const std::string& Path) {
  return "the bootloader " + Path + " does not fit the ATmega328P's 32 KiB of flash";
}

std::string NotInBootSection(const std::string& Path, unsigned Start) {
  char At[16];
  std::snprintf(At, sizeof At, "0x%04X", Start);
  return "the bootloader " + Path + " starts at " + At +
         ", not at a boot section's start (0x7000, 0x7800, 0x7C00 or 0x7E00)";
}

std::string NoAtmega328p() { return "simavr does not know the ATmega328P"; }

std::string FlashUnreadable(const std::string& Path, int Error) {
  return "cannot read the flash image " + Path + ": " + std::strerror(Error);
}

std::string ApplicationTooLarge(const std::string& Path, unsigned BootStart) {
  return "the flash image " + Path + " reaches the bootloader's section (at most " + std::to_string(BootStart) +
         " bytes)";
}

std::string OptionNotForAvr(const std::string& Option) {
  return Option + " cannot be used with --avr: the bootloader plays the device there";
}

std::string DidNotStartApplication(const std::string& Why) {
  return "the bootloader did not start the application: " + Why;
}

std::string CannotWriteMemory(const std::string& Path, int Error) {
  return "cannot write " + Path + ": " + std::strerror(Error);
}

std::string CpuStopped(bool Crashed, unsigned Pc) {
  char At[16];
  std::snprintf(At, sizeof At, "0x%04X", Pc);
  return std::string("the simulated CPU ") + (Crashed ? "crashed" : "stopped") + " at " + At;
}

std::string PinChange(int Pin, bool High, double Seconds) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "PB%d %s at %.6f s", Pin, High ? "high" : "low", Seconds);
  return Text;
}

}  // namespace hexloader::sim::avr
