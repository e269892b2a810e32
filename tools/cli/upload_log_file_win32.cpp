// The record file on Windows: opened for appending only, so each WriteFile lands whole at the end of
// the file whoever else appends, and flushed to the disk after each line.
#include <windows.h>

#include "core/wide_text_win32.h"
#include "image/file_errors.h"
#include "tools/cli/upload_log_file.h"

namespace hexloader::cli {
namespace {

HANDLE AsHandle(std::intptr_t Handle) { return reinterpret_cast<HANDLE>(Handle); }

}  // namespace

TUploadLogFile::TUploadLogFile(const std::string& Path) : Path_(Path) {
  const HANDLE File = ::CreateFileW(WideFromUtf8(Path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) throw EFOpenError::ForFile(Path, static_cast<int>(::GetLastError()));
  Handle_ = reinterpret_cast<std::intptr_t>(File);
}

TUploadLogFile::~TUploadLogFile() {
  if (Handle_ != -1) ::CloseHandle(AsHandle(Handle_));
}

void TUploadLogFile::Append(const std::string& Line) {
  DWORD Written = 0;
  if (!::WriteFile(AsHandle(Handle_), Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr))
    throw EFWriteError::ForFile(Path_, static_cast<int>(::GetLastError()));
  // A short write without an error is a full disk.
  if (Written != Line.size()) throw EFWriteError::ForFile(Path_, ERROR_DISK_FULL);
  if (!::FlushFileBuffers(AsHandle(Handle_))) throw EFWriteError::ForFile(Path_, static_cast<int>(::GetLastError()));
}

}  // namespace hexloader::cli
