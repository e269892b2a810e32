#pragma once
// What the command line says about records with wrong checksums: the warning, and the error that
// --strict makes of it. Built here and only here.
#include <string>

#include "core/exception.h"
#include "image/hex_checksums.h"

namespace hexloader::cli {

// "warning: 2 records have wrong checksums (lines 3, 7); converted as they are".
std::string ChecksumWarning(const TChecksumReport& Report);

// --strict: the file is refused, nothing is written or sent.
class EChecksumError : public Exception {
 public:
  using Exception::Exception;
  // "2 records have wrong checksums (lines 3, 7); refused (--strict)".
  static EChecksumError ForReport(const TChecksumReport& Report);
};

}  // namespace hexloader::cli
