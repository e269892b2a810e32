#pragma once
// The command-line progress display as text, without any terminal I/O: a bar with percent, frames,
// bytes per second and time left for a terminal, and a plain line for logs.
#include <cstdint>
#include <string>

namespace hexloader {

struct TProgressSnapshot {
  std::uint16_t Percent = 0;
  int FramesSent = 0;                   // data frames built so far
  int FramesTotal = 0;                  // data frames of the whole image (its size div 128, plus one)
  std::uint64_t BytesSent = 0;          // image bytes in the data frames built so far
  std::uint64_t BytesAcknowledged = 0;  // ... of which the device has answered (the rate's measure)
  std::uint64_t BytesTotal = 0;
  double ElapsedSeconds = 0;  // since the transfer began
};

// "[##########..........]  50%  frame 257/513  1.8 KB/s  0:18 left" for a bar Width characters wide.
std::string FormatProgressBar(const TProgressSnapshot& S, int Width = 30);
// "50% (frame 257 of 513, 32768 of 65535 bytes)".
std::string FormatProgressLine(const TProgressSnapshot& S);

}  // namespace hexloader
