#pragma once
// The records and serial numbers in a database server that every station of a line reaches, through
// ODBC. The tables are made on first use, with a schema version; the SQL is what PostgreSQL and SQL
// Server both accept (no IF NOT EXISTS, RETURNING or OUTPUT; times kept as ISO 8601 text).
//
//   hexloader_schema     (version)                   one row: the tables' layout
//   hexloader_sequences  (name, last_number)         one row per sequence: the largest number taken
//   hexloader_records    (time_local, time_utc, station, port, result, sequence_name, serial_number,
//                         serial_text, hex_file, image_bytes, sha256, message, seconds, frames)
//
// Taking a number is one transaction: it locks the sequence's row (an UPDATE), reads what was taken,
// sets the new largest number and inserts the "taken" record; a second station's transaction waits
// on the row lock and then sees the first one's number.
#include <memory>
#include <mutex>
#include <string>

#include "production/record_store.h"

namespace hexloader::production {

class TOdbcConnection;

inline constexpr int kStoreSchemaVersion = 1;

class TDatabaseStore final : public TRecordStore {
 public:
  // Connects with Connection (a password from HEXLOADER_STORE_PASSWORD added in memory) and, for
  // production, makes the tables when they are missing. Raises EStoreError.
  TDatabaseStore(const std::string& Connection, TStoreUse Use);
  ~TDatabaseStore() override;

  TSerialValue TakeSerial(const TSerialSource& Source, const TBoardPlace& Place) override;
  void WriteUpload(const TUploadRecord& Record) override;
  std::vector<TRecordRow> ReadRecords(const TRecordFilter& Filter) override;

 private:
  // Whether the tables exist (and are of a version this program knows: EStoreError otherwise).
  bool SchemaPresent();
  void MakeSchema();
  // Inserts the sequence's row when it is missing; a row another station inserted meanwhile is fine.
  void AddSequence(const std::string& Name);
  void InsertRow(const TRecordRow& Row);
  TSerialValue TakeOnce(const TSerialSource& Source, const TBoardPlace& Place);

  std::mutex Mutex_;  // one call at a time on the connection
  std::unique_ptr<TOdbcConnection> Db_;
  bool HasSchema_ = false;
};

}  // namespace hexloader::production
