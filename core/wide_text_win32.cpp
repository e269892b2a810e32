#include "core/wide_text_win32.h"

#include <windows.h>

namespace hexloader {

std::wstring WideFromUtf8(std::string_view Text) {
  if (Text.empty()) return {};
  const int size = static_cast<int>(Text.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), size, out.data(), n);
  return out;
}

std::string Utf8FromWide(std::wstring_view Text) {
  if (Text.empty()) return {};
  const int size = static_cast<int>(Text.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace hexloader
