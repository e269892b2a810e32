#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/exception.h"
#include "image/file_errors.h"
#include "tools/cli/upload_log_file.h"

namespace hexloader::cli {
namespace {

// Holds the record file's lock while one line goes in: every writer of the file takes it, so a line
// that did not go in whole can be cut off again without touching another process's line.
class TFileLock {
 public:
  explicit TFileLock(int Fd) : Fd_(Fd) {
    while (::flock(Fd_, LOCK_EX) != 0 && errno == EINTR) {}
  }
  ~TFileLock() { ::flock(Fd_, LOCK_UN); }
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

 private:
  int Fd_;
};

}  // namespace

TUploadLogFile::TUploadLogFile(const std::string& Path) : Path_(Path) {
  // Without blocking: a FIFO would otherwise hold the run in open until a reader came.
  const int Fd = ::open(Path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  if (Fd < 0) throw EFOpenError::ForFile(Path, errno);
  struct stat Info {};
  if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
    ::close(Fd);
    throw Exception(NotRegularFileMessage(Path));
  }
  Handle_ = Fd;
}

TUploadLogFile::~TUploadLogFile() {
  if (Handle_ >= 0) ::close(static_cast<int>(Handle_));
}

void TUploadLogFile::Append(const std::string& Line) {
  const int Fd = static_cast<int>(Handle_);
  TFileLock Lock(Fd);
  const off_t Start = ::lseek(Fd, 0, SEEK_END);
  ssize_t Written;
  do {
    Written = ::write(Fd, Line.data(), Line.size());
  } while (Written < 0 && errno == EINTR);
  const int Code = Written < 0 ? errno : ENOSPC;
  if (Written < 0 || static_cast<std::size_t>(Written) != Line.size()) {
    // Never half a line: what went in is cut off again, so the next record starts on a line of its own.
    if (Written > 0 && Start >= 0) (void)::ftruncate(Fd, Start);
    throw EFWriteError::ForFile(Path_, Code);
  }
  if (::fdatasync(Fd) != 0 && errno != EINVAL) throw EFWriteError::ForFile(Path_, errno);
}

}  // namespace hexloader::cli
