#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "image/file_errors.h"
#include "tools/cli/upload_log_file.h"

namespace hexloader::cli {

TUploadLogFile::TUploadLogFile(const std::string& Path) : Path_(Path) {
  const int Fd = ::open(Path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (Fd < 0) throw EFOpenError::ForFile(Path, errno);
  Handle_ = Fd;
}

TUploadLogFile::~TUploadLogFile() {
  if (Handle_ >= 0) ::close(static_cast<int>(Handle_));
}

void TUploadLogFile::Append(const std::string& Line) {
  ssize_t Written;
  do {
    Written = ::write(static_cast<int>(Handle_), Line.data(), Line.size());
  } while (Written < 0 && errno == EINTR);
  // A short write is not completed with a second one: another process may have appended in between,
  // and the rest would land inside its line.
  if (Written < 0) throw EFWriteError::ForFile(Path_, errno);
  if (static_cast<std::size_t>(Written) != Line.size()) throw EFWriteError::ForFile(Path_, ENOSPC);
  if (::fdatasync(static_cast<int>(Handle_)) != 0 && errno != EINVAL) throw EFWriteError::ForFile(Path_, errno);
}

}  // namespace hexloader::cli
