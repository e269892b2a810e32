// Win32 bodies of the converter's file calls. Paths are UTF-8 inside the program and UTF-16 here, so a
// HEX file in a folder with a Cyrillic name opens whatever the system's ANSI code page is.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "core/wide_text_win32.h"
#include "image/file_content.h"
#include "image/file_errors.h"
#include "image/image_file_system.h"

namespace hexloader::image_fs {
namespace {

// Closes a handle when the owner goes out of scope.
class THandleOwner {
 public:
  explicit THandleOwner(HANDLE Handle) : Handle_(Handle) {}
  ~THandleOwner() {
    if (Handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(Handle_);
  }
  THandleOwner(const THandleOwner&) = delete;
  THandleOwner& operator=(const THandleOwner&) = delete;
  HANDLE Get() const { return Handle_; }

 private:
  HANDLE Handle_;
};

int LastError() { return static_cast<int>(::GetLastError()); }

}  // namespace

std::unique_ptr<char[], TFileBufferRelease> AllocateFileBuffer(std::size_t Capacity) {
  return std::unique_ptr<char[], TFileBufferRelease>(new char[Capacity], TFileBufferRelease{Capacity});
}

void TFileBufferRelease::operator()(char* Data) const { delete[] Data; }

bool FileExists(const std::string& Path) {
  const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(Path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TFileContent ReadWholeFile(const std::string& Path) {
  THandleOwner file(::CreateFileW(WideFromUtf8(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) throw EFOpenError::ForFile(Path, LastError());
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) throw EFOpenError::ForFile(Path, LastError());

  return ReadUntilEnd(size.QuadPart > 0 ? static_cast<std::size_t>(size.QuadPart) : 0,
                      [&](char* Into, std::size_t Room) {
                        // ReadFile takes at most 4 GiB - 1 per call.
                        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(Room, 0x40000000));
                        DWORD got = 0;
                        if (!::ReadFile(file.Get(), Into, want, &got, nullptr))
                          throw EFOpenError::ForFile(Path, LastError());
                        return static_cast<std::size_t>(got);
                      });
}

bool EntryExists(const std::string& Path) {
  // The attributes of a symbolic link are its own: it counts whatever it points at.
  const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(Path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RenameNoReplace(const std::string& From, const std::string& To) {
  // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing target.
  return ::MoveFileExW(WideFromUtf8(From).c_str(), WideFromUtf8(To).c_str(), 0) != 0;
}

void RemoveEntry(const std::string& Path) {
  // DeleteFile removes a symbolic link itself and refuses a directory, which names the fault as plainly
  // as the create would.
  if (::DeleteFileW(WideFromUtf8(Path).c_str())) return;
  const int error = LastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) throw EFCreateError::ForFile(Path, error);
}

TOutputFile TOutputFile::CreateExclusive(const std::string& Path) {
  // CREATE_NEW fails on any entry already there; the reparse-point flag keeps a link in the last
  // component from being followed. Not shared, as the image is written: nobody reads half an image.
  HANDLE file = ::CreateFileW(WideFromUtf8(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw EFCreateError::ForFile(Path, LastError());
  return TOutputFile(reinterpret_cast<std::intptr_t>(file), Path);
}

TOutputFile::TOutputFile(TOutputFile&& Other) noexcept
    : Fd_(std::exchange(Other.Fd_, -1)), Path_(std::move(Other.Path_)) {}

TOutputFile::~TOutputFile() {
  if (Fd_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(Fd_));
}

void TOutputFile::WriteAt(std::uint64_t Offset, const std::uint8_t* Data, std::size_t Size) {
  while (Size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(Offset);
    at.OffsetHigh = static_cast<DWORD>(Offset >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(Size, 0x40000000));
    DWORD done = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(Fd_), Data, want, &done, &at))
      throw EFWriteError::ForFile(Path_, LastError());
    if (done == 0) throw EFWriteError::ForFile(Path_, ERROR_DISK_FULL);
    Data += done;
    Offset += done;
    Size -= done;
  }
}

void TOutputFile::Close() {
  const std::intptr_t handle = std::exchange(Fd_, -1);
  if (handle != -1 && !::CloseHandle(reinterpret_cast<HANDLE>(handle))) throw EFWriteError::ForFile(Path_, LastError());
}

}  // namespace hexloader::image_fs
