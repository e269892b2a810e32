#pragma once
// The few file calls the converter needs, behind one interface; the platform's bodies live in
// image_file_system_<platform>.cpp, which CMake picks. Failures are raised with the error code captured
// where the call failed.
#include <cstddef>
#include <cstdint>
#include <string>

namespace hexloader::image_fs {

// True when Path names an existing file that is not a directory.
bool FileExists(const std::string& Path);

// The whole content of the file at Path. Raises EFOpenError when it cannot be opened or read.
std::string ReadWholeFile(const std::string& Path);

// Renames From to To unless a file named To already exists. Returns false when nothing was renamed.
bool RenameNoReplace(const std::string& From, const std::string& To);

// A file created (or truncated) for writing, closed by its destructor. Not copyable; movable.
class TOutputFile {
 public:
  // Raises EFCreateError.
  static TOutputFile CreateOrTruncate(const std::string& Path);

  TOutputFile(TOutputFile&& Other) noexcept;
  TOutputFile& operator=(TOutputFile&&) = delete;
  TOutputFile(const TOutputFile&) = delete;
  ~TOutputFile();

  // Writes all Size bytes at Offset (short writes are continued). Raises EFWriteError.
  void WriteAt(std::uint64_t Offset, const std::uint8_t* Data, std::size_t Size);
  // Closes the file, reporting a failure the system only tells at close. Raises EFWriteError.
  void Close();

  const std::string& Path() const { return Path_; }

 private:
  TOutputFile(int Fd, std::string Path) : Fd_(Fd), Path_(std::move(Path)) {}
  int Fd_;
  std::string Path_;
};

}  // namespace hexloader::image_fs
