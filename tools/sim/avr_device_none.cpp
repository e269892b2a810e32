// hexloader-sim built without simavr: --avr says so.
#include <cstdio>

#include "tools/sim/avr_messages.h"
#include "tools/sim/avr_simulator.h"

namespace hexloader::sim {

int RunAvrSimulator(const TSimOptions&) {
  std::fprintf(stderr, "hexloader-sim: %s\n", avr::NotBuilt().c_str());
  return 1;
}

}  // namespace hexloader::sim
