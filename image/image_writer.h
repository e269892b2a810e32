#pragma once
// Streams the image into its file: 0xFF fill and data at their device addresses, in large blocks.
// The image itself is never held in memory; only one block waits to be written at the file's end.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/image_file_system.h"

namespace hexloader {

class TImageWriter {
 public:
  explicit TImageWriter(image_fs::TOutputFile& File);

  // The image's length so far: the device address of the byte after its end.
  std::uint64_t Length() const { return Flushed_ + Pending_.size(); }

  // Grows the image with 0xFF up to Address (nothing when Address is not beyond the end).
  void FillTo(std::uint64_t Address);
  // Writes Size bytes at Address: beyond the end after 0xFF fill, below it over the fill already there.
  void WriteAt(std::uint64_t Address, const std::uint8_t* Data, std::size_t Size);
  // Writes what is still waiting. Called after a failure as well, so the file holds all bytes placed so far.
  void Flush();

 private:
  void Append(const std::uint8_t* Data, std::size_t Size);

  image_fs::TOutputFile& File_;
  std::uint64_t Flushed_ = 0;          // bytes already in the file
  std::vector<std::uint8_t> Pending_;  // the bytes after them, written when the block is full
};

}  // namespace hexloader
