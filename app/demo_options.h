#pragma once
// Options of hexloader-gui-demo, the operator's window set up for a simulated device.
#include <string>
#include <vector>

namespace hexloader {

struct TDemoOptions {
  std::vector<std::string> ExtraPorts;  // added to the ports found, e.g. the simulated device's link
  std::string SettingsPath;             // the INI file to use instead of the one beside the program
  bool Start = false;                   // press Start once the window is shown
  std::string ScreenshotPath;           // PNG of the window, taken during the upload
  int ScreenshotPercent = 40;           // ... once the bar reaches this percentage
  bool QuitAfterUpload = false;         // close the window when the upload has ended
  bool Help = false;
};

// Raises std::invalid_argument for an unknown option or a missing value.
TDemoOptions ParseDemoOptions(const std::vector<std::string>& Args);
extern const char* const DemoUsage;

}  // namespace hexloader
