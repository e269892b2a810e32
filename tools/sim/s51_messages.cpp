#include "tools/sim/s51_messages.h"

#include <cstring>

namespace hexloader::sim::s51 {

std::string NotInstalled() {
  return "s51 is not installed: --s51 runs the device program in s51 (Debian package sdcc-ucsim)";
}

std::string FirmwareUnreadable(const std::string& Path, int Error) {
  return "cannot read the device program " + Path + ": " + std::strerror(Error);
}

std::string FirmwareNotIntelHex(const std::string& Path) {
  return "the device program " + Path + " is not an Intel HEX file (build it with 'make device')";
}

std::string OptionNotForS51(const std::string& Option) {
  return Option + " cannot be used with --s51: the device program plays the device there";
}

std::string CannotPrepare(const std::string& What, int Error) {
  return "cannot make " + What + " for s51: " + std::strerror(Error);
}

std::string CannotStart(int Error) { return std::string("cannot start s51: ") + std::strerror(Error); }

std::string DidNotFinish(const std::string& Why) { return "the device did not finish: " + Why; }

std::string MemoryUnreadable(const std::string& Why) { return "cannot read the device's memory back from s51: " + Why; }

std::string CannotWriteMemory(const std::string& Path, int Error) {
  return "cannot write " + Path + ": " + std::strerror(Error);
}

}  // namespace hexloader::sim::s51
