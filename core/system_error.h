#pragma once
#include <string>

namespace hexloader {

// The operating system's text for an error code (errno on Linux, GetLastError on Windows), as messages quote it.
std::string SysErrorMessage(int Code);

// The C library's text for an errno value, for failures that only a C library call reports (a stream's
// read, write or close). On Windows errno values are not the system's codes and must not be read as such.
std::string CLibraryErrorMessage(int Errno);

}  // namespace hexloader
