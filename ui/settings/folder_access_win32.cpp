#include <windows.h>

#include <string>

#include "core/wide_text_win32.h"
#include "ui/settings/folder_access.h"

namespace hexloader {

std::string CurrentFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0) return {};
    if (n < buffer.size()) return Utf8FromWide(std::wstring_view(buffer.data(), n));
    buffer.resize(n);  // n counts the terminating null when the buffer was too small
  }
}

bool ChangeCurrentFolder(const std::string& Folder) {
  return ::SetCurrentDirectoryW(WideFromUtf8(Folder).c_str()) != FALSE;
}

bool CanMakeFileIn(const std::string& Folder) {
  const std::wstring name =
      WideFromUtf8(Folder) + L"\\~hexloader-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_EXISTS;
  ::CloseHandle(file);
  return true;
}

}  // namespace hexloader
