#include "image/file_errors.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/system_error.h"
#include "core/utf8_path.h"

namespace hexloader {
namespace {

// The path as the operator should see it: absolute, without "." and ".." parts. A path that cannot be
// expanded (no current directory) is quoted as given.
std::string Expanded(const std::string& Path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(Path), ec);
  if (ec) return Path;
  return Utf8FromPath(absolute.lexically_normal());
}

std::string FileMessage(const char* What, const std::string& Path, const std::string& SystemText) {
  return std::string("Cannot ") + What + " file \"" + Expanded(Path) + "\". " + SystemText;
}

}  // namespace

EFOpenError EFOpenError::ForFile(const std::string& Path, int ErrorCode) {
  return EFOpenError(FileMessage("open", Path, SysErrorMessage(ErrorCode)));
}

EFOpenError EFOpenError::ForStream(const std::string& Path, int Errno) {
  return EFOpenError(FileMessage("open", Path, CLibraryErrorMessage(Errno)));
}

EFCreateError EFCreateError::ForFile(const std::string& Path, int ErrorCode) {
  return EFCreateError(FileMessage("create", Path, SysErrorMessage(ErrorCode)));
}

EFWriteError EFWriteError::ForFile(const std::string& Path, int ErrorCode) {
  return EFWriteError(FileMessage("write", Path, SysErrorMessage(ErrorCode)));
}

EFWriteError EFWriteError::ForStream(const std::string& Path, int Errno) {
  return EFWriteError(FileMessage("write", Path, CLibraryErrorMessage(Errno)));
}

EConvertError EConvertError::NotAnInteger(const std::string& Text) {
  const std::string text = "'" + Text + "' is not a valid integer value";
  return EConvertError(text, 0, text);
}

EConvertError EConvertError::LineTooShort(std::uint64_t LineNumber) {
  char text[96];
  std::snprintf(text, sizeof text, "Line %" PRIu64 " of the HEX file is too short for its record", LineNumber);
  return EConvertError(text, LineNumber, "the line is too short for its record");
}

EConvertError EConvertError::Overlap(std::uint64_t LineNumber, std::uint64_t Address) {
  char text[128];
  std::snprintf(text, sizeof text,
                "Line %" PRIu64 " of the HEX file overlaps data already written at address 0x%08" PRIX64, LineNumber,
                Address);
  char reason[96];
  std::snprintf(reason, sizeof reason, "the data overlaps data already written at address 0x%08" PRIX64, Address);
  return EConvertError(text, LineNumber, reason);
}

}  // namespace hexloader
