#pragma once
// File and conversion failures, raised by the converter and by whoever opens the image it wrote.
// Their messages are built here and only here.
#include <cstdint>
#include <string>

#include "core/exception.h"

namespace hexloader {

class EFOpenError : public Exception {
 public:
  using Exception::Exception;
  // "Cannot open file \"%s\". %s": the expanded (absolute) path and the system's text for ErrorCode.
  static EFOpenError ForFile(const std::string& Path, int ErrorCode);
  // The same, for a C stream's read that failed: Errno read through the C library's own text.
  static EFOpenError ForStream(const std::string& Path, int Errno);
};

class EFCreateError : public Exception {
 public:
  using Exception::Exception;
  // "Cannot create file \"%s\". %s": the expanded (absolute) path and the system's text for ErrorCode.
  static EFCreateError ForFile(const std::string& Path, int ErrorCode);
};

// Writing to a file that was created failed (full disk, I/O error, file size limit).
class EFWriteError : public Exception {
 public:
  using Exception::Exception;
  // "Cannot write file \"%s\". %s": the expanded (absolute) path and the system's text for ErrorCode.
  static EFWriteError ForFile(const std::string& Path, int ErrorCode);
  // The same, for a C stream's write or close that failed: Errno read through the C library's own text.
  static EFWriteError ForStream(const std::string& Path, int Errno);
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
  // "'%s' is not a valid integer value": Text is the text that was parsed ("$" and the field's characters).
  static EConvertError NotAnInteger(const std::string& Text);
  // "Line %u of the HEX file is too short for its record": LineNumber counts from 1.
  static EConvertError LineTooShort(std::uint64_t LineNumber);
  // "Line %u of the HEX file overlaps data already written at address 0x%08X".
  static EConvertError Overlap(std::uint64_t LineNumber, std::uint64_t Address);
};

}  // namespace hexloader
