// The record file on Windows. Every writer of the file takes the same lock while one line goes in
// (a byte range far past any record file's end, so readers are never held up), writes the line at the
// file's end and cuts off whatever part of it went in when the write came up short.
#include <windows.h>

#include "core/exception.h"
#include "core/wide_text_win32.h"
#include "image/file_errors.h"
#include "production/record_file.h"

namespace hexloader::production {
namespace {

HANDLE AsHandle(std::intptr_t Handle) { return reinterpret_cast<HANDLE>(Handle); }

constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

OVERLAPPED LockPlace() {
  OVERLAPPED Place{};
  Place.OffsetHigh = kLockOffsetHigh;
  return Place;
}

// Reads up to Size bytes at Offset; returns the count, or raises for a failure other than the end.
DWORD ReadAt(HANDLE File, const std::string& Path, std::uint64_t Offset, char* Buffer, DWORD Size) {
  OVERLAPPED At{};
  At.Offset = static_cast<DWORD>(Offset & 0xFFFFFFFFu);
  At.OffsetHigh = static_cast<DWORD>(Offset >> 32);
  DWORD Got = 0;
  if (!::ReadFile(File, Buffer, Size, &Got, &At)) {
    const DWORD Code = ::GetLastError();
    if (Code == ERROR_HANDLE_EOF) return 0;
    throw EFOpenError::ForFile(Path, static_cast<int>(Code));
  }
  return Got;
}

}  // namespace

TRecordFile::TRecordFile(const std::string& Path, TAccess Access) : Path_(Path) {
  const bool Appending = Access == TAccess::Append;
  const HANDLE File = ::CreateFileW(WideFromUtf8(Path).c_str(), Appending ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    Appending ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) throw EFOpenError::ForFile(Path, static_cast<int>(::GetLastError()));
  // A device (NUL, a COM port) or a pipe takes no records.
  if (::GetFileType(File) != FILE_TYPE_DISK) {
    ::CloseHandle(File);
    throw Exception(NotRegularFileMessage(Path));
  }
  Handle_ = reinterpret_cast<std::intptr_t>(File);
}

TRecordFile::~TRecordFile() {
  if (Handle_ != -1) ::CloseHandle(AsHandle(Handle_));
}

TRecordFile::TLock::TLock(TRecordFile& File) : File_(File) {
  OVERLAPPED Place = LockPlace();
  Locked_ = ::LockFileEx(AsHandle(File_.Handle_), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &Place) != 0;
}

TRecordFile::TLock::~TLock() {
  OVERLAPPED Place = LockPlace();
  if (Locked_) ::UnlockFileEx(AsHandle(File_.Handle_), 0, 1, 0, &Place);
}

void TRecordFile::Append(const std::string& Line) {
  const TLock Held(*this);
  AppendLocked(Line, Held);
}

void TRecordFile::AppendLocked(const std::string& Line, const TLock&) {
  const HANDLE File = AsHandle(Handle_);
  LARGE_INTEGER Start{};
  if (!::SetFilePointerEx(File, LARGE_INTEGER{}, &Start, FILE_END))
    throw EFWriteError::ForFile(Path_, static_cast<int>(::GetLastError()));
  char Last = '\n';
  const bool CutOff = Start.QuadPart > 0 &&
                      ReadAt(File, Path_, static_cast<std::uint64_t>(Start.QuadPart - 1), &Last, 1) == 1 &&
                      Last != '\n';
  const std::string Whole = CutOff ? '\n' + Line : Line;
  // The read above moved the file pointer: write at the end again.
  if (!::SetFilePointerEx(File, Start, nullptr, FILE_BEGIN))
    throw EFWriteError::ForFile(Path_, static_cast<int>(::GetLastError()));
  DWORD Written = 0;
  const bool Ok = ::WriteFile(File, Whole.data(), static_cast<DWORD>(Whole.size()), &Written, nullptr) != 0;
  // A short write without an error is a full disk.
  const DWORD Code = Ok ? ERROR_DISK_FULL : ::GetLastError();
  if (!Ok || Written != Whole.size()) {
    // Never half a line: what went in is cut off again, so the next record starts on a line of its own.
    if (Written > 0 && ::SetFilePointerEx(File, Start, nullptr, FILE_BEGIN)) ::SetEndOfFile(File);
    throw EFWriteError::ForFile(Path_, static_cast<int>(Code));
  }
  if (!::FlushFileBuffers(File)) throw EFWriteError::ForFile(Path_, static_cast<int>(::GetLastError()));
}

std::string TRecordFile::ReadFrom(std::uint64_t Offset) {
  std::string Text;
  char Buffer[65536];
  for (;;) {
    const DWORD Got = ReadAt(AsHandle(Handle_), Path_, Offset + Text.size(), Buffer, sizeof Buffer);
    if (Got == 0) return Text;
    Text.append(Buffer, Got);
  }
}

}  // namespace hexloader::production
