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

// True when Text survives the ANSI code page unchanged: the profile functions would store any other
// character of it in an ANSI file as '?' and still report success.
bool FitsAnsiFile(const std::wstring& Text) {
  if (Text.empty() || ::GetACP() == CP_UTF8) return true;
  BOOL usedDefault = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, Text.data(), static_cast<int>(Text.size()), nullptr,
                                      0, nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}

// The whole file's bytes; false with the system's error set when it cannot be read.
bool ReadFileBytes(const std::wstring& FileName, std::string& Bytes) {
  HANDLE file = ::CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  Bytes.clear();
  char block[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, block, sizeof block, &got, nullptr) != 0) && got > 0) Bytes.append(block, got);
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  ::SetLastError(error);
  return ok;
}

bool IsUnicodeFile(const std::string& Bytes) {
  return Bytes.size() >= 2 &&
         ((Bytes[0] == '\xFF' && Bytes[1] == '\xFE') || (Bytes[0] == '\xFE' && Bytes[1] == '\xFF'));
}

// The ANSI file FileName (as Bytes holds it) rewritten in UTF-16 with the byte order mark, every line kept;
// through a new file moved over the old one, so that a failure leaves the old file whole.
bool RewriteAsUnicode(const std::wstring& FileName, const std::string& Bytes) {
  std::wstring text(1, L'\xFEFF');
  if (!Bytes.empty()) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, Bytes.data(), static_cast<int>(Bytes.size()), nullptr, 0);
    if (n <= 0) return false;
    text.resize(1 + static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_ACP, 0, Bytes.data(), static_cast<int>(Bytes.size()), text.data() + 1, n);
  }
  const std::wstring temp = FileName + L".new";
  HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  DWORD written = 0;
  bool ok = ::WriteFile(file, text.data(), size, &written, nullptr) && written == size;
  ok = ::FlushFileBuffers(file) && ok;
  DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (ok) {
    // The profile functions may hold the old file's contents: they are told to let go of it.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, FileName.c_str());
    ok = ::MoveFileExW(temp.c_str(), FileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    error = ::GetLastError();
  }
  if (!ok) {
    ::DeleteFileW(temp.c_str());
    ::SetLastError(error);
  }
  return ok;
}

// Settings files of the program this one replaces are ANSI (Windows-1251): they stay ANSI, so that it
// can still read them, until a value arrives that the code page cannot hold; then the file turns UTF-16.
bool MakeRoomForText(const std::wstring& FileName, const std::wstring& Text) {
  if (FitsAnsiFile(Text)) return true;
  std::string bytes;
  if (!ReadFileBytes(FileName, bytes)) return false;
  return IsUnicodeFile(bytes) || RewriteAsUnicode(FileName, bytes);
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
  const std::wstring section = WideFromUtf8(Section);
  const std::wstring key = WideFromUtf8(Key);
  const std::wstring value = WideFromUtf8(Value);
  if (!MakeRoomForText(file, section + key + value)) return false;
  return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
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
