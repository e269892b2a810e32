#include "tools/cli/checksum_messages.h"

namespace hexloader::cli {
namespace {

// "2 records have wrong checksums (lines 3, 7, 9, 12, 15, ...)".
std::string Problem(const TChecksumReport& Report) {
  const bool one = Report.BadRecords == 1;
  std::string text = std::to_string(Report.BadRecords) +
                     (one ? " record has a wrong checksum (line" : " records have wrong checksums (lines");
  const char* separator = " ";
  for (std::uint64_t line : Report.FirstLines) {
    text += separator + std::to_string(line);
    separator = ", ";
  }
  if (Report.BadRecords > Report.FirstLines.size()) text += ", ...";
  return text + ")";
}

}  // namespace

std::string ChecksumWarning(const TChecksumReport& Report) {
  return "warning: " + Problem(Report) + "; converted as they are";
}

EChecksumError EChecksumError::ForReport(const TChecksumReport& Report) {
  return EChecksumError(Problem(Report) + "; refused (--strict)");
}

}  // namespace hexloader::cli
