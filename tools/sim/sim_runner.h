#pragma once
#include "tools/sim/sim_options.h"

namespace hexloader::sim {

// Creates the pseudo-terminal, prints its path and plays the device until SIGINT/SIGTERM, --once or a
// hang-up. Returns the exit status.
int RunSimulator(const TSimOptions& Options);

}  // namespace hexloader::sim
