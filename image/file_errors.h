#pragma once
// File and conversion failures, raised by the converter and by whoever opens the image it wrote.
// Their messages are built here and only here.
#include <string>

#include "core/exception.h"

namespace hexloader {

class EFOpenError : public Exception {
 public:
  using Exception::Exception;
  // "Cannot open file \"%s\". %s": the expanded (absolute) path and the system's text for ErrorCode.
  static EFOpenError ForFile(const std::string& Path, int ErrorCode);
};

class EFCreateError : public Exception {
 public:
  using Exception::Exception;
  // "Cannot create file \"%s\". %s": the expanded (absolute) path and the system's text for ErrorCode.
  static EFCreateError ForFile(const std::string& Path, int ErrorCode);
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace hexloader
