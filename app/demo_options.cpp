#include "app/demo_options.h"

#include <stdexcept>

namespace hexloader {

const char* const DemoUsage =
    "Usage: hexloader-gui-demo [OPTIONS]\n"
    "The operator's window, set up to try an upload against the simulated device (hexloader-sim).\n"
    "The Port menu lists the ports found on this machine plus the ones given here.\n"
    "\n"
    "  --port PATH            add PATH (the simulated device's link) to the Port menu\n"
    "  --settings FILE        keep the settings in FILE instead of beside the program\n"
    "  --start                press Start once the window is shown\n"
    "  --screenshot PNG       save a picture of the window during the upload\n"
    "  --screenshot-percent N ... when the progress bar reaches N percent (40)\n"
    "  --quit-after-upload    close the window when the upload has ended\n";

TDemoOptions ParseDemoOptions(const std::vector<std::string>& Args) {
  TDemoOptions o;
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& a = Args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= Args.size()) throw std::invalid_argument(a + " needs a value");
      return Args[++i];
    };
    if (a == "--help" || a == "-h") o.Help = true;
    else if (a == "--port") o.ExtraPorts.push_back(value());
    else if (a == "--settings") o.SettingsPath = value();
    else if (a == "--start") o.Start = true;
    else if (a == "--screenshot") o.ScreenshotPath = value();
    else if (a == "--screenshot-percent") o.ScreenshotPercent = std::stoi(value());
    else if (a == "--quit-after-upload") o.QuitAfterUpload = true;
    else throw std::invalid_argument("unknown option '" + a + "'");
  }
  return o;
}

}  // namespace hexloader
