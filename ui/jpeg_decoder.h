#pragma once
// Decodes a JPEG picture held in memory with libjpeg. Plain C++, no Qt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/exception.h"

namespace hexloader {

class EJpegError : public Exception {
 public:
  using Exception::Exception;
};

struct TRgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgb;  // Width * Height * 3 bytes, rows top to bottom
};

// Raises EJpegError with libjpeg's own message when the data is not a readable JPEG.
TRgbImage DecodeJpeg(const std::uint8_t* Data, std::size_t Size);

}  // namespace hexloader
