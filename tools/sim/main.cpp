// hexloader-sim: the loader's device at the far end of a pseudo-terminal.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/file_size_signal.h"
#include "hexloader_version.h"
#include "tools/sim/avr_simulator.h"
#include "tools/sim/s51_simulator.h"
#include "tools/sim/sim_runner.h"

int main(int argc, char** argv) {
  hexloader::IgnoreFileSizeSignal();
  using namespace hexloader::sim;
  bool Help = false;
  TSimOptions Options;
  try {
    Options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), Help);
  } catch (const std::invalid_argument& E) {
    std::fprintf(stderr, "hexloader-sim: %s\n\n%s", E.what(), SimUsage);
    return 2;
  }
  if (Help) {
    std::printf("%s", SimUsage);
    return 0;
  }
  if (Options.Version) {
    std::printf("hexloader-sim %s\n", HEXLOADER_VERSION);
    return 0;
  }
  if (!Options.S51Firmware.empty() && !Options.AvrFirmware.empty()) {
    std::fprintf(stderr, "hexloader-sim: --s51 and --avr cannot be used together\n\n%s", SimUsage);
    return 2;
  }
  if (Options.AvrFirmware.empty() && (!Options.FlashPath.empty() || Options.AppMs >= 0)) {
    std::fprintf(stderr, "hexloader-sim: %s needs --avr\n\n%s", Options.FlashPath.empty() ? "--app-ms" : "--flash",
                 SimUsage);
    return 2;
  }
  if (Options.UsbCdcMs != 0 && Options.UsbLatencyMs != 0) {
    std::fprintf(stderr, "hexloader-sim: --usb-cdc and --usb-latency cannot be used together\n\n%s", SimUsage);
    return 2;
  }
  if (!Options.AvrFirmware.empty()) return RunAvrSimulator(Options);
  return Options.S51Firmware.empty() ? RunSimulator(Options) : RunS51Simulator(Options);
}
