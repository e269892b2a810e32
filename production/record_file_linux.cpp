#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/exception.h"
#include "image/file_errors.h"
#include "production/record_file.h"

namespace hexloader::production {

TRecordFile::TRecordFile(const std::string& Path, TAccess Access) : Path_(Path) {
  // Without blocking: a FIFO would otherwise hold the run in open until a reader came.
  const int Flags = Access == TAccess::Append ? O_RDWR | O_APPEND | O_CREAT : O_RDONLY;
  const int Fd = ::open(Path.c_str(), Flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  if (Fd < 0) throw EFOpenError::ForFile(Path, errno);
  struct stat Info {};
  if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
    ::close(Fd);
    throw Exception(NotRegularFileMessage(Path));
  }
  Handle_ = Fd;
}

TRecordFile::~TRecordFile() {
  if (Handle_ >= 0) ::close(static_cast<int>(Handle_));
}

TRecordFile::TLock::TLock(TRecordFile& File) : File_(File) {
  int Result;
  while ((Result = ::flock(static_cast<int>(File_.Handle_), LOCK_EX)) != 0 && errno == EINTR) {}
  Locked_ = Result == 0;
}

TRecordFile::TLock::~TLock() {
  if (Locked_) ::flock(static_cast<int>(File_.Handle_), LOCK_UN);
}

void TRecordFile::Append(const std::string& Line) {
  const TLock Held(*this);
  AppendLocked(Line, Held);
}

void TRecordFile::AppendLocked(const std::string& Line, const TLock&) {
  const int Fd = static_cast<int>(Handle_);
  const off_t Start = ::lseek(Fd, 0, SEEK_END);
  char Last = '\n';
  const bool CutOff = Start > 0 && ::pread(Fd, &Last, 1, Start - 1) == 1 && Last != '\n';
  const std::string Whole = CutOff ? '\n' + Line : Line;
  ssize_t Written;
  do {
    Written = ::write(Fd, Whole.data(), Whole.size());
  } while (Written < 0 && errno == EINTR);
  const int Code = Written < 0 ? errno : ENOSPC;
  if (Written < 0 || static_cast<std::size_t>(Written) != Whole.size()) {
    // Never half a line: what went in is cut off again, so the next record starts on a line of its own.
    if (Written > 0 && Start >= 0) (void)::ftruncate(Fd, Start);
    throw EFWriteError::ForFile(Path_, Code);
  }
  if (::fdatasync(Fd) != 0 && errno != EINVAL) throw EFWriteError::ForFile(Path_, errno);
}

std::string TRecordFile::ReadFrom(std::uint64_t Offset) {
  const int Fd = static_cast<int>(Handle_);
  std::string Text;
  char Buffer[65536];
  for (;;) {
    const ssize_t Got = ::pread(Fd, Buffer, sizeof Buffer, static_cast<off_t>(Offset + Text.size()));
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) throw EFOpenError::ForFile(Path_, errno);
    if (Got == 0) return Text;
    Text.append(Buffer, static_cast<std::size_t>(Got));
  }
}

}  // namespace hexloader::production
