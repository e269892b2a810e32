#include "tools/cli/image_snapshot.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
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
  std::FILE* File = OpenStream(Name, TStreamMode::Read, OpenError);
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

// A new file of its own in the temporary folder, under a random name that no other file has.
std::FILE* CreatePrivateFile(std::string& Path) {
  std::random_device Random;
  std::error_code Ignored;
  const std::filesystem::path Folder = std::filesystem::temp_directory_path(Ignored);
  for (int Attempt = 0;; ++Attempt) {
    Path = Utf8FromPath(Folder / ("hexloader-image-" + std::to_string(Random()) + "-" + std::to_string(Random()) + ".BIN"));
    int Error = 0;
    if (std::FILE* File = OpenStream(Path, TStreamMode::CreateNew, Error)) return File;
    if (std::filesystem::exists(PathFromUtf8(Path), Ignored) && Attempt < 16) continue;
    throw EFCreateError::ForFile(Path, Error);
  }
}

}  // namespace

TImageSnapshot::TImageSnapshot(const std::string& Name) {
  const std::vector<std::uint8_t> Bytes = ReadImage(Name);
  if (Bytes.size() >= MaxImageSize) {
    std::error_code Error;
    const std::uintmax_t Size = std::filesystem::file_size(PathFromUtf8(Name), Error);
    throw EImageTooLarge::ForSize(Error ? Bytes.size() : Size);
  }
  Size_ = Bytes.size();
  Sha256_ = Sha256Hex(Bytes);

  std::FILE* File = CreatePrivateFile(Path_);
  // An empty image has no data to hand to fwrite (its buffer may be null).
  const bool Written = Bytes.empty() || std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size();
  const int Error = errno;
  if (std::fclose(File) != 0 || !Written) {
    RemoveFile(Path_);
    throw EFWriteError::ForStream(Path_, Written ? errno : Error);
  }
}

TImageSnapshot::~TImageSnapshot() { RemoveFile(Path_); }

}  // namespace hexloader::cli
