#pragma once
// The file the upload records are appended to. Each line goes out in one write to a file opened for
// appending, so lines of several processes sharing the file never interleave, and is forced to the
// disk before Append returns: a crash or power cut loses at most the upload in flight.
#include <cstdint>
#include <string>

namespace hexloader::cli {

class TUploadLogFile {
 public:
  // Opens (creating) Path for appending; raises EFOpenError.
  explicit TUploadLogFile(const std::string& Path);
  ~TUploadLogFile();
  TUploadLogFile(const TUploadLogFile&) = delete;
  TUploadLogFile& operator=(const TUploadLogFile&) = delete;

  // Appends one complete line; raises EFWriteError when it did not reach the file whole.
  void Append(const std::string& Line);

 private:
  std::string Path_;
  std::intptr_t Handle_ = -1;  // the platform's descriptor or handle; -1 while none

};

}  // namespace hexloader::cli
