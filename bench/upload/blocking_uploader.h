#pragma once
// The benchmark's reference: the same protocol written as plainly as possible, with blocking reads and
// writes on the port and no threads, events or session object.
#include <string>

namespace hexloader::bench {

// Uploads the binary image at ImagePath through the port at PortPath; raises std::runtime_error on any
// failure. Returns the seconds from the device's hello byte to the end frame's echo.
double BlockingUpload(const std::string& PortPath, const std::string& ImagePath);

}  // namespace hexloader::bench
