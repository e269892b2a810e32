#pragma once
// The image of one command-line upload run, fixed for the whole run: the image converted once from the
// HEX file (as Start does, so it lands in the current directory), fingerprinted and kept in memory
// (64 KiB at most), from where every session of the run sends it. Another conversion rewriting the
// image in the current directory while boards are being programmed (a second run, a 'convert') cannot
// change what is sent, the fingerprint stays the fingerprint of what is sent, and no file is left
// behind however the run ends.
#include <cstdint>
#include <string>
#include <vector>

namespace hexloader::cli {

class TImageSnapshot {
 public:
  // Reads the converted image ImageName and refuses one of 65,536 bytes or more (EImageTooLarge).
  // Raises EFOpenError.
  explicit TImageSnapshot(const std::string& ImageName);
  TImageSnapshot(const TImageSnapshot&) = delete;
  TImageSnapshot& operator=(const TImageSnapshot&) = delete;

  // What each session sends.
  const std::vector<std::uint8_t>& Bytes() const { return Bytes_; }
  std::uint64_t Size() const { return Bytes_.size(); }
  const std::string& Sha256() const { return Sha256_; }

 private:
  std::vector<std::uint8_t> Bytes_;
  std::string Sha256_;
};

}  // namespace hexloader::cli
