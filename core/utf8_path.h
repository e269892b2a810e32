#pragma once
// File names are UTF-8 inside the program. std::filesystem's narrow forms would pass them through the
// system's ANSI code page on Windows (losing a Cyrillic folder name on a Western system); these go
// through the u8 forms, which are the same bytes on Linux.
#include <filesystem>
#include <string>

namespace hexloader {

inline std::filesystem::path PathFromUtf8(const std::string& Text) {
  return std::filesystem::path(std::u8string(Text.begin(), Text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& Path) {
  const std::u8string text = Path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace hexloader
