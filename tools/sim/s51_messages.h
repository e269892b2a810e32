#pragma once
// The texts hexloader-sim prints when it plays the device with s51: built here, in one place.
#include <string>

namespace hexloader::sim::s51 {

std::string NotInstalled();
std::string FirmwareUnreadable(const std::string& Path, int Error);
std::string FirmwareNotIntelHex(const std::string& Path);
std::string OptionNotForS51(const std::string& Option);
std::string CannotPrepare(const std::string& What, int Error);
std::string CannotStart(int Error);
// The device was switched off or stopped before its program finished; Why says how.
std::string DidNotFinish(const std::string& Why);
std::string MemoryUnreadable(const std::string& Why);
std::string CannotWriteMemory(const std::string& Path, int Error);

}  // namespace hexloader::sim::s51
