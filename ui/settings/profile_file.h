#pragma once
// The profile-file functions the settings store relies on: a plain INI text file of "[Section]" lines
// followed by "Key=Value" lines. Section and key names match without regard to ASCII letter case;
// every other line of the file (comments, other sections, unknown lines) is kept as it stands.
// One back end per platform (profile_file_posix.cpp on Linux, profile_file_win32.cpp on Windows, which
// leaves the file to the system's profile functions); the store never reads the file itself.
#include <cstddef>
#include <string>
#include <vector>

namespace hexloader {

// The value of Key in Section, or Default when the file, the section or the key is missing, cut to at
// most MaxChars bytes (never in the middle of a UTF-8 sequence). Surrounding blanks and one pair of
// matching quotes around the value are removed. Never fails: an unreadable file reads as missing.
std::string ReadProfileString(const std::string& FileName, const std::string& Section, const std::string& Key,
                              const std::string& Default, std::size_t MaxChars);

// The key names of Section in file order; empty when the file or the section is missing.
std::vector<std::string> ReadProfileSectionKeys(const std::string& FileName, const std::string& Section);

// Stores Value under Key in Section, creating the file, the section and the key as needed. Returns
// false (with errno, on Windows GetLastError, set by the failing call) when the file cannot be
// written; the file is then left as it was.
bool WriteProfileString(const std::string& FileName, const std::string& Section, const std::string& Key,
                        const std::string& Value);

// Makes the folder that will hold FileName, with any missing parents, private to the user (settings are
// theirs): mode 0700 on Linux; on Windows the rights of the user's profile folder it lies in. Returns
// false (errno, on Windows GetLastError, set) when a folder cannot be made.
bool CreateProfileFolder(const std::string& FileName);

// Nothing is cached between calls, so there is nothing to flush; kept so that a caching back end can
// sit behind the same interface.
void FlushProfile(const std::string& FileName);

}  // namespace hexloader
