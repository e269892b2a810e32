#pragma once
// Where a production line keeps its serial numbers and records: the record file on one machine, or a
// database server a line of stations shares. Both are used the same way, through this interface.
//
// Every call may come from any thread; a store serializes its calls itself. Every write is durable
// when the call returns (on the disk, or committed).
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "production/production_settings.h"
#include "production/record_filter.h"
#include "production/record_row.h"
#include "production/serial_sequence.h"
#include "production/upload_record.h"

namespace hexloader::production {

// Who takes a number: the board's port and station, and when.
struct TBoardPlace {
  std::chrono::system_clock::time_point Time;
  std::string Port;
  std::string Station;
};

class TRecordStore {
 public:
  virtual ~TRecordStore() = default;

  // Takes the next number of Source's sequence for one board and records it as taken (a "taken"
  // record with the time, port and station) before returning. A number returned is never returned
  // again, by this or any other process or station sharing the store, after a crash or restart too.
  // Raises ESerialSequenceEnded when no number is left (nothing taken); raises (EStoreError,
  // EFWriteError) when the store cannot be reached or refuses the write: the number is then not given
  // out, and may or may not stay taken (a gap, never a repeat).
  virtual TSerialValue TakeSerial(const TSerialSource& Source, const TBoardPlace& Place) = 0;

  // Records one upload. Raises (EStoreError, EFWriteError) when the record could not be written.
  virtual void WriteUpload(const TUploadRecord& Record) = 0;

  // The records that Filter lets through (SelectRecords), oldest first.
  virtual std::vector<TRecordRow> ReadRecords(const TRecordFilter& Filter) = 0;
};

// What a store is opened for.
enum class TStoreUse {
  Production,  // taking numbers and writing records: a missing record file is created
  Reading,     // the records command: a missing record file is an error, nothing is created
};

// The store the settings name: the record file (LogFile), the database (Store), or with both the
// database with every line copied into the file; nullptr for neither. Raises EFOpenError and the
// record file's refusals, EStoreError when the database cannot be reached.
std::unique_ptr<TRecordStore> OpenRecordStore(const TProductionSettings& Settings, TStoreUse Use);

}  // namespace hexloader::production
