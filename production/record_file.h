#pragma once
// The record file. Each line goes out in one write to the file's end under the file's lock, so lines
// of several processes sharing the file never interleave, and is forced to the disk before the write
// returns: a crash or power cut loses at most the line being written. The lock can also be held
// across reading the file and appending (the serial numbers' journal decides the next number from
// what the file holds, then appends it, with no other writer in between).
#include <cstdint>
#include <string>

namespace hexloader::production {

// The refusal of a record file that is no regular file.
inline std::string NotRegularFileMessage(const std::string& Path) {
  return "Cannot open file \"" + Path + "\". Not a regular file: upload records go to a regular file only";
}

class TRecordFile {
 public:
  enum class TAccess {
    Append,  // created when missing; read and appended to
    Read,    // must exist; only read
  };

  // Opens Path; raises EFOpenError, or Exception with NotRegularFileMessage for anything but a regular
  // file (a FIFO, a device, a folder), without blocking on it.
  explicit TRecordFile(const std::string& Path, TAccess Access = TAccess::Append);
  ~TRecordFile();
  TRecordFile(const TRecordFile&) = delete;
  TRecordFile& operator=(const TRecordFile&) = delete;

  const std::string& Path() const { return Path_; }

  // Holds the file's lock, which every writer of the file takes around each line, for as long as it
  // lives. One holder at a time per open file: threads sharing a TRecordFile take turns outside it.
  class TLock {
   public:
    explicit TLock(TRecordFile& File);
    ~TLock();
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

   private:
    TRecordFile& File_;
    bool Locked_ = false;
  };

  // Appends one complete line under the lock; see AppendLocked.
  void Append(const std::string& Line);
  // With the lock held: appends one complete line and waits until it is on the disk. A line that did
  // not go in whole is cut off again (the file never holds half a line) and raises EFWriteError. When
  // the file does not end with a newline (a line cut off by a power cut), a newline goes first, so
  // that the new line stays a line of its own.
  void AppendLocked(const std::string& Line, const TLock& Held);

  // The file's bytes from Offset to its end (empty when it is shorter). Raises EFOpenError.
  std::string ReadFrom(std::uint64_t Offset);

 private:
  std::string Path_;
  std::intptr_t Handle_ = -1;  // the platform's descriptor or handle; -1 while none
};

}  // namespace hexloader::production
