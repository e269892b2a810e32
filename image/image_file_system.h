#pragma once
// The few file calls the converter needs, behind one interface; the platform's bodies live in
// image_file_system_<platform>.cpp, which CMake picks. Failures are raised with the error code captured
// where the call failed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace hexloader::image_fs {

// True when Path names an existing file that is not a directory.
bool FileExists(const std::string& Path);

// True when a directory entry other than a directory has the name Path; a symbolic link counts itself,
// whatever it points at (or whether it points anywhere).
bool EntryExists(const std::string& Path);

// Frees the buffer that ReadWholeFile allocated (the platform's own allocation, see its body).
struct TFileBufferRelease {
  std::size_t Capacity = 0;
  void operator()(char* Data) const;
};

// A file's bytes, read in one piece.
struct TFileContent {
  std::unique_ptr<char[], TFileBufferRelease> Data;
  std::size_t Size = 0;
  std::string_view Text() const { return std::string_view(Data.get(), Size); }
};

// The whole content of the file at Path. Raises EFOpenError when it cannot be opened or read.
TFileContent ReadWholeFile(const std::string& Path);

// Renames From to To unless a file named To already exists. Returns false when nothing was renamed.
bool RenameNoReplace(const std::string& From, const std::string& To);

// Removes the entry named Path (a file or a symbolic link itself, never a directory); nothing when
// there is none. Raises EFCreateError, since it clears the way for creating Path.
void RemoveEntry(const std::string& Path);

// A file created for writing, closed by its destructor. Not copyable; movable.
class TOutputFile {
 public:
  // Creates a new regular file at Path; any entry already there, a symbolic link above all, makes this
  // fail instead of being written through. Raises EFCreateError.
  static TOutputFile CreateExclusive(const std::string& Path);

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
  TOutputFile(std::intptr_t Fd, std::string Path) : Fd_(Fd), Path_(std::move(Path)) {}
  std::intptr_t Fd_;  // the descriptor (Linux) or handle (Windows); -1 when closed
  std::string Path_;
};

}  // namespace hexloader::image_fs
