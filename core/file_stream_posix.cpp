#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "core/file_stream.h"

namespace hexloader {

std::FILE* OpenStream(const std::string& Name, TStreamMode Mode, int& Error) {
  std::FILE* File = nullptr;
  if (Mode == TStreamMode::Read) {
    File = std::fopen(Name.c_str(), "rb");
  } else {
    const int Fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (Fd >= 0) {
      File = ::fdopen(Fd, "wb");
      if (!File) {
        const int Saved = errno;
        ::close(Fd);
        errno = Saved;
      }
    }
  }
  if (!File) Error = errno;
  return File;
}

bool RemoveFile(const std::string& Name) { return ::unlink(Name.c_str()) == 0; }

}  // namespace hexloader
