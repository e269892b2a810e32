#include "tools/cli/cli_conversion.h"

#include <cerrno>

#include "image/file_errors.h"
#include "image/hex_checksums.h"
#include "image/hex_to_bin.h"
#include "image/image_file_system.h"
#include "tools/cli/checksum_messages.h"
#include "tools/cli/console_text.h"

namespace hexloader::cli {

namespace {

// "FILE:LINE: reason." (the line left out when it is not known).
std::string ConversionErrorText(const std::string& ShownName, const EConvertError& Error) {
  const std::string line = Error.LineNumber() > 0 ? std::to_string(Error.LineNumber()) + ":" : std::string();
  return ShownName + ":" + line + " " + Error.Reason() + ".";
}

std::string Convert(const std::string& HexPath, bool Strict, std::FILE* Warnings) {
  if (!image_fs::FileExists(HexPath)) throw EFOpenError::ForFile(HexPath, ENOENT);
  const image_fs::TFileContent content = image_fs::ReadWholeFile(HexPath);
  if (Strict) {
    // A pass of its own: the file is refused before anything is written.
    const TChecksumReport report = CheckRecordChecksums(content.Text());
    if (report.BadRecords > 0) throw EChecksumError::ForReport(report);
    return HexToBinText(HexPath, content.Text());
  }
  // On the converter's pass, which keeps the check from slowing the conversion much.
  TChecksumCounter counter;
  std::string imageName =
      HexToBinText(HexPath, content.Text(), [&counter](const THexLine& Line) { counter.Check(Line); });
  // Only beside an image: a file the converter refuses gets its error alone.
  if (counter.Report().BadRecords > 0) PrintText(Warnings, "%s\n", ChecksumWarning(counter.Report()).c_str());
  return imageName;
}

}  // namespace

std::string ConvertHexFile(const std::string& HexPath, const std::string& ShownName, bool Strict, std::FILE* Warnings) {
  try {
    return Convert(HexPath, Strict, Warnings);
  } catch (const EConvertError& e) {
    throw Exception(ConversionErrorText(ShownName, e));
  }
}

}  // namespace hexloader::cli
