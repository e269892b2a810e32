// Linux bodies of the converter's file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "image/file_errors.h"
#include "image/image_file_system.h"

namespace hexloader::image_fs {
namespace {

// Closes a descriptor when the owner goes out of scope.
class TFdOwner {
 public:
  explicit TFdOwner(int Fd) : Fd_(Fd) {}
  ~TFdOwner() {
    if (Fd_ >= 0) ::close(Fd_);
  }
  TFdOwner(const TFdOwner&) = delete;
  TFdOwner& operator=(const TFdOwner&) = delete;
  int Get() const { return Fd_; }

 private:
  int Fd_;
};

}  // namespace

bool FileExists(const std::string& Path) {
  struct stat st;
  return ::stat(Path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ReadWholeFile(const std::string& Path) {
  TFdOwner fd(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) throw EFOpenError::ForFile(Path, errno);
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) throw EFOpenError::ForFile(Path, errno);

  // The size is a hint only: the file may grow or shrink while it is read, or be a pipe.
  std::string text;
  text.resize(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 64 * 1024);
  std::size_t used = 0;
  for (;;) {
    if (used == text.size()) text.resize(text.size() * 2);
    ssize_t got = ::read(fd.Get(), text.data() + used, text.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EFOpenError::ForFile(Path, errno);
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  text.resize(used);
  return text;
}

bool RenameNoReplace(const std::string& From, const std::string& To) {
  if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: link() refuses an existing name just as well.
  if (::link(From.c_str(), To.c_str()) != 0) return false;
  ::unlink(From.c_str());
  return true;
}

TOutputFile TOutputFile::CreateOrTruncate(const std::string& Path) {
  int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw EFCreateError::ForFile(Path, errno);
  return TOutputFile(fd, Path);
}

TOutputFile::TOutputFile(TOutputFile&& Other) noexcept
    : Fd_(std::exchange(Other.Fd_, -1)), Path_(std::move(Other.Path_)) {}

TOutputFile::~TOutputFile() {
  if (Fd_ >= 0) ::close(Fd_);
}

void TOutputFile::WriteAt(std::uint64_t Offset, const std::uint8_t* Data, std::size_t Size) {
  while (Size > 0) {
    ssize_t done = ::pwrite(Fd_, Data, Size, static_cast<off_t>(Offset));
    if (done < 0) {
      if (errno == EINTR) continue;
      throw EFWriteError::ForFile(Path_, errno);
    }
    // A zero-byte write with bytes left means the device takes no more; the system gives no code.
    if (done == 0) throw EFWriteError::ForFile(Path_, ENOSPC);
    Data += done;
    Offset += static_cast<std::uint64_t>(done);
    Size -= static_cast<std::size_t>(done);
  }
}

void TOutputFile::Close() {
  int fd = std::exchange(Fd_, -1);
  // Linux releases the descriptor even when close() fails, so it is never retried.
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw EFWriteError::ForFile(Path_, errno);
}

}  // namespace hexloader::image_fs
