#pragma once
// The image of one command-line upload run, fixed for the whole run: the image converted once from the
// HEX file (as Start does, so it lands in the current directory), fingerprinted and copied to a private
// file that every session of the run reads. Another conversion rewriting the image in the
// current directory while boards are being programmed (a second run, a 'convert') cannot change what
// is sent, and the fingerprint stays the fingerprint of what is sent.
#include <cstdint>
#include <string>
#include <vector>

namespace hexloader::cli {

class TImageSnapshot {
 public:
  // Reads the converted image ImageName, refuses one of 65,536 bytes or more (EImageTooLarge) and
  // writes the private copy. Raises EFOpenError, EFCreateError, EFWriteError.
  explicit TImageSnapshot(const std::string& ImageName);
  ~TImageSnapshot();  // removes the private copy
  TImageSnapshot(const TImageSnapshot&) = delete;
  TImageSnapshot& operator=(const TImageSnapshot&) = delete;

  // The private copy's path: what each session's image preparation returns.
  const std::string& Path() const { return Path_; }
  std::uint64_t Size() const { return Size_; }
  const std::string& Sha256() const { return Sha256_; }

 private:
  std::string Path_;
  std::uint64_t Size_ = 0;
  std::string Sha256_;
};

}  // namespace hexloader::cli
