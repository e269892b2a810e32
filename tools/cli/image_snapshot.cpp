#include "tools/cli/image_snapshot.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/file_stream.h"
#include "core/utf8_path.h"
#include "image/file_errors.h"
#include "tools/cli/image_digest.h"
#include "upload/upload_errors.h"

namespace hexloader::cli {
namespace {

std::vector<std::uint8_t> ReadImage(const std::string& Name) {
  int OpenError = 0;
  std::FILE* File = OpenStream(Name, OpenError);
  if (!File) throw EFOpenError::ForFile(Name, OpenError);
  std::vector<std::uint8_t> Bytes;
  std::uint8_t Block[4096];
  std::size_t N;
  // Bounded: nothing past the largest image that can be sent is needed to refuse a larger one.
  while ((N = std::fread(Block, 1, sizeof Block, File)) > 0 && Bytes.size() < MaxImageSize)
    Bytes.insert(Bytes.end(), Block, Block + N);
  const bool Failed = std::ferror(File) != 0;
  const int Error = errno;
  std::fclose(File);
  if (Failed) throw EFOpenError::ForStream(Name, Error);
  return Bytes;
}

}  // namespace

TImageSnapshot::TImageSnapshot(const std::string& Name) : Bytes_(ReadImage(Name)) {
  if (Bytes_.size() >= MaxImageSize) {
    std::error_code Error;
    const std::uintmax_t Size = std::filesystem::file_size(PathFromUtf8(Name), Error);
    throw EImageTooLarge::ForSize(Error ? Bytes_.size() : Size);
  }
  Sha256_ = Sha256Hex(Bytes_);
}

}  // namespace hexloader::cli
