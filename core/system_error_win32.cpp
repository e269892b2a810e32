#include <windows.h>

#include <cstring>

#include "core/system_error.h"
#include "core/wide_text_win32.h"

namespace hexloader {

std::string SysErrorMessage(int Code) {
  wchar_t* text = nullptr;
  // The system's own language; the "W" call so that any language's text survives as UTF-8.
  const DWORD n =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(Code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0 || !text) return {};
  std::wstring message(text, n);
  ::LocalFree(text);
  // FormatMessage ends its texts with a line break, which no message that quotes it wants.
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
  return Utf8FromWide(message);
}

std::string CLibraryErrorMessage(int Errno) {
  // The C library's table is in the C locale's language and ASCII.
  const char* text = std::strerror(Errno);
  return text ? std::string(text) : std::string();
}

}  // namespace hexloader
