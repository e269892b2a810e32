#include "image/file_content.h"

#include <cstring>
#include <utility>

namespace hexloader::image_fs {

TFileContent ReadUntilEnd(std::size_t SizeHint, const TReadSome& Read) {
  // One byte more than the size lets the end show itself without a second buffer.
  std::size_t capacity = SizeHint > 0 ? SizeHint + 1 : 64 * 1024;
  TFileContent content{AllocateFileBuffer(capacity), 0};
  for (;;) {
    if (content.Size == capacity) {
      auto bigger = AllocateFileBuffer(capacity * 2);
      std::memcpy(bigger.get(), content.Data.get(), content.Size);
      content.Data = std::move(bigger);
      capacity *= 2;
    }
    const std::size_t got = Read(content.Data.get() + content.Size, capacity - content.Size);
    if (got == 0) break;
    content.Size += got;
  }
  return content;
}

}  // namespace hexloader::image_fs
