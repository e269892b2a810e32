#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "core/file_stream.h"
#include "core/wide_text_win32.h"

namespace hexloader {

std::FILE* OpenStream(const std::string& Name, int& Error) {
  // CreateFileW rather than _wfopen: the refusal's code is the system's own (sharing violation, access
  // denied), not an errno that the system's message table would read as some other Win32 code.
  const HANDLE Handle =
      ::CreateFileW(WideFromUtf8(Name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) {
    Error = static_cast<int>(::GetLastError());
    return nullptr;
  }
  const int Fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(Handle), _O_RDONLY | _O_BINARY);
  if (Fd < 0) {
    ::CloseHandle(Handle);
    Error = ERROR_TOO_MANY_OPEN_FILES;
    return nullptr;
  }
  std::FILE* File = ::_fdopen(Fd, "rb");
  if (!File) {
    ::_close(Fd);  // closes the handle too
    Error = ERROR_NOT_ENOUGH_MEMORY;
  }
  return File;
}

}  // namespace hexloader
