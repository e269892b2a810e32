// The record file on Windows. Every writer of the file takes the same lock while one line goes in
// (a byte range far past any record file's end, so readers are never held up), writes the line at the
// file's end and cuts off whatever part of it went in when the write came up short.
#include <windows.h>

#include "core/exception.h"
#include "core/wide_text_win32.h"
#include "image/file_errors.h"
#include "tools/cli/upload_log_file.h"

namespace hexloader::cli {
namespace {

HANDLE AsHandle(std::intptr_t Handle) { return reinterpret_cast<HANDLE>(Handle); }

constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

class TRecordLock {
 public:
  explicit TRecordLock(HANDLE File) : File_(File) {
    Place_.OffsetHigh = kLockOffsetHigh;
    Locked_ = ::LockFileEx(File_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &Place_) != 0;
  }
  ~TRecordLock() {
    if (Locked_) ::UnlockFileEx(File_, 0, 1, 0, &Place_);
  }
  TRecordLock(const TRecordLock&) = delete;
  TRecordLock& operator=(const TRecordLock&) = delete;

 private:
  HANDLE File_;
  OVERLAPPED Place_{};
  bool Locked_ = false;
};

}  // namespace

TUploadLogFile::TUploadLogFile(const std::string& Path) : Path_(Path) {
  const HANDLE File = ::CreateFileW(WideFromUtf8(Path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) throw EFOpenError::ForFile(Path, static_cast<int>(::GetLastError()));
  // A device (NUL, a COM port) or a pipe takes no records.
  if (::GetFileType(File) != FILE_TYPE_DISK) {
    ::CloseHandle(File);
    throw Exception(NotRegularFileMessage(Path));
  }
  Handle_ = reinterpret_cast<std::intptr_t>(File);
}

TUploadLogFile::~TUploadLogFile() {
  if (Handle_ != -1) ::CloseHandle(AsHandle(Handle_));
}

void TUploadLogFile::Append(const std::string& Line) {
  const HANDLE File = AsHandle(Handle_);
  TRecordLock Lock(File);
  LARGE_INTEGER Start{};
  if (!::SetFilePointerEx(File, LARGE_INTEGER{}, &Start, FILE_END))
    throw EFWriteError::ForFile(Path_, static_cast<int>(::GetLastError()));
  DWORD Written = 0;
  const bool Ok = ::WriteFile(File, Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr) != 0;
  // A short write without an error is a full disk.
  const DWORD Code = Ok ? ERROR_DISK_FULL : ::GetLastError();
  if (!Ok || Written != Line.size()) {
    // Never half a line: what went in is cut off again, so the next record starts on a line of its own.
    if (Written > 0 && ::SetFilePointerEx(File, Start, nullptr, FILE_BEGIN)) ::SetEndOfFile(File);
    throw EFWriteError::ForFile(Path_, static_cast<int>(Code));
  }
  if (!::FlushFileBuffers(File)) throw EFWriteError::ForFile(Path_, static_cast<int>(::GetLastError()));
}

}  // namespace hexloader::cli
