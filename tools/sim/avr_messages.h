#pragma once
// The texts hexloader-sim prints when it plays the device with simavr: built here, in one place.
#include <string>

namespace hexloader::sim::avr {

std::string NotBuilt();
std::string FirmwareUnreadable(const std::string& Path, int Error);
std::string FirmwareNotElf(const std::string& Path);
std::string FirmwareDoesNotFit(const std::string& Path);
std::string NotInBootSection(const std::string& Path, unsigned Start);
std::string NoAtmega328p();
std::string FlashUnreadable(const std::string& Path, int Error);
std::string ApplicationTooLarge(const std::string& Path, unsigned BootStart);
std::string OptionNotForAvr(const std::string& Option);
// The bootloader did not start the application before the board was switched off or stopped; Why says how.
std::string DidNotStartApplication(const std::string& Why);
std::string CannotWriteMemory(const std::string& Path, int Error);
// The simulated CPU ended (crashed: simavr's verdict on an invalid instruction or a fault) at Pc.
std::string CpuStopped(bool Crashed, unsigned Pc);
// One change of a port B pin, at Seconds of device time.
std::string PinChange(int Pin, bool High, double Seconds);

}  // namespace hexloader::sim::avr
