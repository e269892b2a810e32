#pragma once
// C streams opened for reading by UTF-8 file names (file_stream_<platform>.cpp). On Windows the name
// crosses as UTF-16, so a file in a Cyrillic folder opens whatever the ANSI code page is, and a refusal
// carries the system's own error code.
#include <cstdio>
#include <string>

namespace hexloader {

// The existing file Name, open for reading, or nullptr with Error set to the system's code as
// SysErrorMessage takes it.
std::FILE* OpenStream(const std::string& Name, int& Error);

}  // namespace hexloader
