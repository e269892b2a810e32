#pragma once
// The record file as the store: every record a line, and for serial numbers the sequence's journal.
// Taking a number holds the file's lock across reading what the file holds, deciding the next number
// and appending its "taken" line, so processes sharing the file never take one number twice; the
// file is the sequence's only memory (deleting it starts every sequence again).
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "production/record_file.h"
#include "production/record_store.h"

namespace hexloader::production {

class TRecordFileStore final : public TRecordStore {
 public:
  // Raises what TRecordFile raises.
  TRecordFileStore(const std::string& Path, TRecordFile::TAccess Access);

  TSerialValue TakeSerial(const TSerialSource& Source, const TBoardPlace& Place) override;
  void WriteUpload(const TUploadRecord& Record) override;
  std::vector<TRecordRow> ReadRecords(const TRecordFilter& Filter) override;

  // Appends a line as it stands (a copy of what another store recorded). Raises EFWriteError.
  void AppendLine(const std::string& Line);

 private:
  // With the lock held: reads the lines written since the last look and notes their numbers.
  void CatchUp();

  std::mutex Mutex_;  // one caller at a time: the file's lock is per open file, not per thread
  TRecordFile File_;
  std::uint64_t ReadUpTo_ = 0;  // the journal has been read up to here (a line's end)
  std::map<std::string, TSequenceMemory> Sequences_;
};

}  // namespace hexloader::production
