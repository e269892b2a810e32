#pragma once
// File and conversion failures, raised by the converter and by whoever opens the image it wrote.
// Their messages are built here and only here.
#include <cstdint>
#include <string>
#include <utility>

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

  // The HEX file's line the failure is in, counted from 1; 0 when not known (the converter sets it for
  // every failure it raises).
  std::uint64_t LineNumber() const { return LineNumber_; }
  void SetLineNumber(std::uint64_t LineNumber) { LineNumber_ = LineNumber; }
  // What is wrong with that line, without naming the line, for messages that name it their own way
  // ("fw.hex:12: ..."); the message itself when the failure has no such text.
  std::string Reason() const { return Reason_.empty() ? Message() : Reason_; }

 private:
  EConvertError(const std::string& Message, std::uint64_t LineNumber, std::string Reason)
      : Exception(Message), LineNumber_(LineNumber), Reason_(std::move(Reason)) {}

  std::uint64_t LineNumber_ = 0;
  std::string Reason_;
};

}  // namespace hexloader
