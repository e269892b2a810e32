#pragma once
// The process's current folder and what the user may do in a folder: the platform calls behind the
// window's choice of the folder it writes its images into (folder_access_<platform>.cpp). Paths are
// UTF-8 and full.
#include <string>

namespace hexloader {

// The process's current folder; empty when the platform cannot tell.
std::string CurrentFolder();

// Makes Folder the process's current folder; false (errno, on Windows GetLastError, set) when it
// cannot.
bool ChangeCurrentFolder(const std::string& Folder);

// Whether the user may make a file in Folder: a hidden temporary file is made there and gone again at
// once. Only trying gives the whole answer: access rights, a read-only medium, an immutable folder and a
// network share's own rules all have their say (root included, on Linux).
bool CanMakeFileIn(const std::string& Folder);

}  // namespace hexloader
