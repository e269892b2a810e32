#include "tools/cli/cli_conversion.h"

#include <cerrno>

#include "image/file_errors.h"
#include "image/hex_checksums.h"
#include "image/hex_to_bin.h"
#include "image/image_file_system.h"
#include "tools/cli/checksum_messages.h"

namespace hexloader::cli {

std::string ConvertHexFile(const std::string& HexPath, bool Strict, std::FILE* Warnings) {
  if (!image_fs::FileExists(HexPath)) throw EFOpenError::ForFile(HexPath, ENOENT);
  // A pass of its own: --strict must refuse before the converter writes anything.
  const TChecksumReport report = CheckRecordChecksums(image_fs::ReadWholeFile(HexPath).Text());
  if (report.BadRecords > 0 && Strict) throw EChecksumError::ForReport(report);
  std::string imageName = HexToBin(HexPath);
  if (imageName.empty()) throw EFOpenError::ForFile(HexPath, ENOENT);  // gone since the check
  // Only beside an image: a file the converter refuses gets its error alone.
  if (report.BadRecords > 0) std::fprintf(Warnings, "%s\n", ChecksumWarning(report).c_str());
  return imageName;
}

}  // namespace hexloader::cli
