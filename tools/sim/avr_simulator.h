#pragma once
#include "tools/sim/sim_options.h"

namespace hexloader::sim {

// hexloader-sim --avr: the same pseudo-terminal and options as the built-in device, with the device
// played by an ATmega328P simulated by simavr running the bootloader Options.AvrFirmware (an ELF
// file). Returns the exit status.
int RunAvrSimulator(const TSimOptions& Options);

}  // namespace hexloader::sim
