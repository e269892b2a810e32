#pragma once
#include "tools/sim/sim_options.h"

namespace hexloader::sim {

// hexloader-sim --s51: the same pseudo-terminal and options as the built-in device, with the device
// played by s51 running the device program Options.S51Firmware. Returns the exit status.
int RunS51Simulator(const TSimOptions& Options);

}  // namespace hexloader::sim
