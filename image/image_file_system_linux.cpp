// Linux bodies of the converter's file calls.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "image/file_content.h"
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

// A buffer for a whole HEX file. Large files are tens of megabytes: huge pages spare the thousands of page
// faults that filling them 4 KiB at a time costs, which would be a good part of the conversion's time.
std::unique_ptr<char[], TFileBufferRelease> AllocateFileBuffer(std::size_t Capacity) {
  void* p = ::mmap(nullptr, Capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  ::madvise(p, Capacity, MADV_HUGEPAGE);  // a hint only; without it the buffer works the same
  return std::unique_ptr<char[], TFileBufferRelease>(static_cast<char*>(p), TFileBufferRelease{Capacity});
}

void TFileBufferRelease::operator()(char* Data) const {
  if (Data) ::munmap(Data, Capacity);
}

bool FileExists(const std::string& Path) {
  struct stat st;
  return ::stat(Path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

TFileContent ReadWholeFile(const std::string& Path) {
  TFdOwner fd(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) throw EFOpenError::ForFile(Path, errno);
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) throw EFOpenError::ForFile(Path, errno);

  return ReadUntilEnd(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0, [&](char* Into, std::size_t Room) {
    for (;;) {
      const ssize_t got = ::read(fd.Get(), Into, Room);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw EFOpenError::ForFile(Path, errno);
    }
  });
}

bool EntryExists(const std::string& Path) {
  struct stat st;
  return ::lstat(Path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool RenameNoReplace(const std::string& From, const std::string& To) {
  if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: link() refuses an existing name just as well.
  if (::link(From.c_str(), To.c_str()) != 0) return false;
  ::unlink(From.c_str());
  return true;
}

void RemoveEntry(const std::string& Path) {
  // unlink() refuses a directory with EISDIR, which names the fault as plainly as the create would.
  if (::unlink(Path.c_str()) != 0 && errno != ENOENT) throw EFCreateError::ForFile(Path, errno);
}

TOutputFile TOutputFile::CreateExclusive(const std::string& Path) {
  // O_NOFOLLOW beside O_EXCL, so that not even a link in the last path component is ever followed.
  int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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
