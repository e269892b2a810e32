#pragma once
// The file the upload records are appended to. Each line goes out in one write to a file opened for
// appending, so lines of several processes sharing the file never interleave, and is forced to the
// disk before Append returns: a crash or power cut loses at most the upload in flight.
#include <cstdint>
#include <string>

namespace hexloader::cli {

// The refusal of a record file that is no regular file.
inline std::string NotRegularFileMessage(const std::string& Path) {
  return "Cannot open file \"" + Path + "\". Not a regular file: upload records go to a regular file only";
}

class TUploadLogFile {
 public:
  // Opens (creating) Path for appending; raises EFOpenError, or Exception with NotRegularFileMessage
  // for anything but a regular file (a FIFO, a device, a folder), without blocking on it.
  explicit TUploadLogFile(const std::string& Path);
  ~TUploadLogFile();
  TUploadLogFile(const TUploadLogFile&) = delete;
  TUploadLogFile& operator=(const TUploadLogFile&) = delete;

  // Appends one complete line; raises EFWriteError when it did not reach the file whole, after cutting
  // off whatever part of it did (the file never holds half a line).
  void Append(const std::string& Line);

 private:
  std::string Path_;
  std::intptr_t Handle_ = -1;  // the platform's descriptor or handle; -1 while none
};

}  // namespace hexloader::cli
