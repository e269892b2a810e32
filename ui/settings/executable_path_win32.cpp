#include <windows.h>

#include <string>

#include "core/wide_text_win32.h"
#include "ui/settings/executable_path.h"

namespace hexloader {

std::string ExecutablePath() {
  // Long paths exceed MAX_PATH: grow until the name fits (a cut name fills the buffer exactly).
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return Utf8FromWide(std::wstring_view(buffer.data(), n));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace hexloader
