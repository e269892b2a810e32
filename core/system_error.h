#pragma once
#include <string>

namespace hexloader {

// The operating system's text for an error code (errno on Linux, GetLastError on Windows), as messages quote it.
std::string SysErrorMessage(int Code);

}  // namespace hexloader
