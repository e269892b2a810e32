#pragma once
#include "tools/sim/sim_options.h"

namespace hexloader::sim {

// Creates a pseudo-terminal per device, prints their paths one per line and plays the devices until
// SIGINT/SIGTERM, or until every device has hung up or (--once) ended. Returns the exit status.
int RunSimulator(const TSimOptions& Options);

}  // namespace hexloader::sim
