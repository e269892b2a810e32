#include "tools/cli/image_snapshot.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "image/file_errors.h"
#include "tools/cli/image_digest.h"
#include "upload/upload_errors.h"

namespace hexloader::cli {
namespace {

std::vector<std::uint8_t> ReadImage(const std::string& Name) {
  std::FILE* File = std::fopen(Name.c_str(), "rb");
  if (!File) throw EFOpenError::ForFile(Name, errno);
  std::vector<std::uint8_t> Bytes;
  std::uint8_t Block[4096];
  std::size_t N;
  // Bounded: nothing past the largest image that can be sent is needed to refuse a larger one.
  while ((N = std::fread(Block, 1, sizeof Block, File)) > 0 && Bytes.size() < MaxImageSize)
    Bytes.insert(Bytes.end(), Block, Block + N);
  const bool Failed = std::ferror(File) != 0;
  const int Error = errno;
  std::fclose(File);
  if (Failed) throw EFOpenError::ForFile(Name, Error);
  return Bytes;
}

// A new file of its own in the temporary folder, under a random name that no other file has.
std::FILE* CreatePrivateFile(std::string& Path) {
  std::random_device Random;
  std::error_code Ignored;
  const std::filesystem::path Folder = std::filesystem::temp_directory_path(Ignored);
  for (int Attempt = 0;; ++Attempt) {
    Path = (Folder / ("hexloader-image-" + std::to_string(Random()) + "-" + std::to_string(Random()) + ".BIN")).string();
    if (std::filesystem::exists(Path, Ignored) && Attempt < 16) continue;
    if (std::FILE* File = std::fopen(Path.c_str(), "wb")) return File;
    throw EFCreateError::ForFile(Path, errno);
  }
}

}  // namespace

TImageSnapshot::TImageSnapshot(const std::string& Name) {
  const std::vector<std::uint8_t> Bytes = ReadImage(Name);
  if (Bytes.size() >= MaxImageSize) {
    std::error_code Error;
    const std::uintmax_t Size = std::filesystem::file_size(Name, Error);
    throw EImageTooLarge::ForSize(Error ? Bytes.size() : Size);
  }
  Size_ = Bytes.size();
  Sha256_ = Sha256Hex(Bytes);

  std::FILE* File = CreatePrivateFile(Path_);
  // An empty image has no data to hand to fwrite (its buffer may be null).
  const bool Written = Bytes.empty() || std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size();
  const int Error = errno;
  if (std::fclose(File) != 0 || !Written) {
    std::remove(Path_.c_str());
    throw EFWriteError::ForFile(Path_, Written ? errno : Error);
  }
}

TImageSnapshot::~TImageSnapshot() { std::remove(Path_.c_str()); }

}  // namespace hexloader::cli
