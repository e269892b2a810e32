// Profile files on Windows: the system's own profile functions, in their UTF-16 form.
#include <windows.h>
// <windows.h> names its own (WIN.INI) function WriteProfileString through a macro; ours is meant here.
#undef WriteProfileString

#include <vector>

#include "core/wide_text_win32.h"
#include "ui/settings/profile_file.h"
#include "ui/settings/profile_lines.h"

namespace hexloader {
namespace {

// Reads return at most this many UTF-16 units; the caller cuts the UTF-8 result to its own limit.
constexpr DWORD kValueUnits = 2048;
constexpr DWORD kKeyListUnits = 16384;

// The profile functions write a new file in the ANSI code page, which cannot hold a path in another
// script (a Cyrillic folder on a Western system). A file that starts with the UTF-16 byte order mark is
// kept in UTF-16 by them, so a new file is started that way. An existing file keeps its encoding.
bool StartUnicodeFileIfMissing(const std::wstring& FileName) {
  HANDLE file = ::CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_EXISTS;
  static const unsigned char kBom[] = {0xFF, 0xFE};
  DWORD written = 0;
  const bool ok = ::WriteFile(file, kBom, sizeof kBom, &written, nullptr) && written == sizeof kBom;
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (!ok) {
    ::DeleteFileW(FileName.c_str());
    ::SetLastError(error);
  }
  return ok;
}

}  // namespace

std::string ReadProfileString(const std::string& FileName, const std::string& Section, const std::string& Key,
                              const std::string& Default, std::size_t MaxChars) {
  std::vector<wchar_t> buffer(kValueUnits);
  const DWORD n = ::GetPrivateProfileStringW(WideFromUtf8(Section).c_str(), WideFromUtf8(Key).c_str(),
                                             WideFromUtf8(Default).c_str(), buffer.data(), kValueUnits,
                                             WideFromUtf8(FileName).c_str());
  return profile::CutUtf8(Utf8FromWide(std::wstring_view(buffer.data(), n)), MaxChars);
}

std::vector<std::string> ReadProfileSectionKeys(const std::string& FileName, const std::string& Section) {
  std::vector<wchar_t> buffer(kKeyListUnits);
  const DWORD n = ::GetPrivateProfileStringW(WideFromUtf8(Section).c_str(), nullptr, nullptr, buffer.data(),
                                             kKeyListUnits, WideFromUtf8(FileName).c_str());
  // The names one after another, each ended by a zero; the list ends with an empty name.
  std::vector<std::string> keys;
  const wchar_t* p = buffer.data();
  const wchar_t* end = buffer.data() + n;
  while (p < end && *p) {
    const std::wstring_view name(p);
    keys.push_back(Utf8FromWide(name));
    p += name.size() + 1;
  }
  return keys;
}

bool WriteProfileString(const std::string& FileName, const std::string& Section, const std::string& Key,
                        const std::string& Value) {
  // A line break in the value would end the line early and could forge further keys or sections.
  if (Value.find_first_of("\r\n") != std::string::npos) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const std::wstring file = WideFromUtf8(FileName);
  if (!StartUnicodeFileIfMissing(file)) return false;
  return ::WritePrivateProfileStringW(WideFromUtf8(Section).c_str(), WideFromUtf8(Key).c_str(),
                                      WideFromUtf8(Value).c_str(), file.c_str()) != 0;
}

bool CreateProfileFolder(const std::string& FileName) {
  const std::wstring file = WideFromUtf8(FileName);
  const std::size_t slash = file.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return true;
  const std::wstring folder = file.substr(0, slash);
  // Parents first; an existing folder is fine as it is. The folder inherits its parent's access rights.
  for (std::size_t end = folder.find_first_of(L"\\/", 1);; end = folder.find_first_of(L"\\/", end + 1)) {
    const std::wstring part = folder.substr(0, end);
    const bool drive = part.size() == 2 && part[1] == L':';
    if (!drive && !::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (end == std::wstring::npos) break;
  }
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetLastError(ERROR_DIRECTORY);
    return false;
  }
  return true;
}

void FlushProfile(const std::string& FileName) {
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, WideFromUtf8(FileName).c_str());
}

}  // namespace hexloader
