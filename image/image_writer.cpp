#include "image/image_writer.h"

#include <algorithm>
#include <cstring>

namespace hexloader {
namespace {
// Large enough that a long gap costs a write call per MiB, small enough to keep the memory use low.
constexpr std::size_t kBlockBytes = 1 << 20;
}  // namespace

TImageWriter::TImageWriter(image_fs::TOutputFile& File) : File_(File) { Pending_.reserve(kBlockBytes); }

void TImageWriter::FillTo(std::uint64_t Address) {
  while (Length() < Address) {
    std::size_t room = kBlockBytes - Pending_.size();
    auto count = static_cast<std::size_t>(std::min<std::uint64_t>(room, Address - Length()));
    Pending_.resize(Pending_.size() + count, 0xFF);
    if (Pending_.size() == kBlockBytes) Flush();
  }
}

void TImageWriter::WriteAt(std::uint64_t Address, const std::uint8_t* Data, std::size_t Size) {
  FillTo(Address);
  // The part that falls inside the image so far: over the file, then over the waiting block.
  if (Address < Length()) {
    auto inside = static_cast<std::size_t>(std::min<std::uint64_t>(Size, Length() - Address));
    if (Address < Flushed_) {
      auto inFile = static_cast<std::size_t>(std::min<std::uint64_t>(inside, Flushed_ - Address));
      File_.WriteAt(Address, Data, inFile);
      Address += inFile;
      Data += inFile;
      Size -= inFile;
      inside -= inFile;
    }
    if (inside > 0) {
      std::memcpy(Pending_.data() + (Address - Flushed_), Data, inside);
      Address += inside;
      Data += inside;
      Size -= inside;
    }
  }
  Append(Data, Size);
}

void TImageWriter::Append(const std::uint8_t* Data, std::size_t Size) {
  while (Size > 0) {
    std::size_t count = std::min(Size, kBlockBytes - Pending_.size());
    Pending_.insert(Pending_.end(), Data, Data + count);
    Data += count;
    Size -= count;
    if (Pending_.size() == kBlockBytes) Flush();
  }
}

void TImageWriter::Flush() {
  if (Pending_.empty()) return;
  // A block that failed to be written is dropped, so a flush after the failure does not try it again.
  struct TDropBlock {
    std::vector<std::uint8_t>& Block;
    ~TDropBlock() { Block.clear(); }
  } drop{Pending_};
  File_.WriteAt(Flushed_, Pending_.data(), Pending_.size());
  Flushed_ += Pending_.size();
}

}  // namespace hexloader
