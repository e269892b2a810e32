#pragma once
// C streams opened by UTF-8 file names (file_stream_<platform>.cpp). On Windows the name crosses as
// UTF-16, so a file in a Cyrillic folder (a user folder named in Cyrillic holds the temporary folder)
// opens whatever the ANSI code page is, and a refusal carries the system's own error code.
#include <cstdio>
#include <string>

namespace hexloader {

enum class TStreamMode {
  Read,       // an existing file, for reading
  CreateNew,  // a new file that must not exist yet, for writing, readable by its owner only where that applies
};

// The stream for Name, or nullptr with Error set to the system's code as SysErrorMessage takes it.
std::FILE* OpenStream(const std::string& Name, TStreamMode Mode, int& Error);

// Removes the file Name; false when it could not be removed.
bool RemoveFile(const std::string& Name);

}  // namespace hexloader
