#include "production/database_store.h"

#include <cstdlib>

#include "production/odbc_connection.h"
#include "production/record_time.h"
#include "production/store_connection.h"

namespace hexloader::production {
namespace {

constexpr int kLoginTimeoutSeconds = 15;
constexpr int kQueryTimeoutSeconds = 30;
constexpr int kConflictRetries = 5;

// clang-format off
const char* const kCreateTables[] = {
    "CREATE TABLE hexloader_schema (version INTEGER NOT NULL)",
    "CREATE TABLE hexloader_sequences ("
    " name NATIONAL CHARACTER VARYING(100) NOT NULL PRIMARY KEY,"
    " last_number DECIMAL(20,0))",
    "CREATE TABLE hexloader_records ("
    " time_local CHARACTER VARYING(40) NOT NULL,"
    " time_utc CHARACTER VARYING(30) NOT NULL,"
    " station NATIONAL CHARACTER VARYING(100) NOT NULL,"
    " port NATIONAL CHARACTER VARYING(1000) NOT NULL,"
    " result CHARACTER VARYING(20) NOT NULL,"
    " sequence_name NATIONAL CHARACTER VARYING(100),"
    " serial_number DECIMAL(20,0),"
    " serial_text NATIONAL CHARACTER VARYING(100),"
    " hex_file NATIONAL CHARACTER VARYING(4000),"
    " image_bytes INTEGER,"
    " sha256 CHARACTER VARYING(64),"
    " message NATIONAL CHARACTER VARYING(4000),"
    " seconds DOUBLE PRECISION,"
    " frames INTEGER)",
    "CREATE INDEX hexloader_records_serial ON hexloader_records (sequence_name, serial_number)",
    "CREATE INDEX hexloader_records_time ON hexloader_records (time_utc)",
};
// clang-format on

const char* const kRecordColumns =
    "time_local, time_utc, station, port, result, sequence_name, serial_number, serial_text, hex_file, image_bytes, "
    "sha256, message, seconds, frames";

// At most Chars characters of a UTF-8 text, cut between characters: the columns' limits.
std::string Clipped(const std::string& Text, std::size_t Chars) {
  std::size_t Count = 0;
  for (std::size_t i = 0; i < Text.size(); ++i) {
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80 && Count++ == Chars) return Text.substr(0, i);
  }
  return Text;
}

std::optional<std::string> Clipped(const std::optional<std::string>& Text, std::size_t Chars) {
  if (!Text) return std::nullopt;
  return Clipped(*Text, Chars);
}

std::optional<std::uint64_t> NumberOf(const std::optional<std::string>& Text) {
  if (!Text) return std::nullopt;
  // DECIMAL(20,0) may come back as "123" or "123.0" depending on the driver.
  return ParseDecimalDigits(Text->substr(0, Text->find('.')));
}

TRecordRow RowFromColumns(const TOdbcRow& C) {
  TRecordRow Row;
  Row.Time = C[0].value_or("");
  Row.Station = C[2].value_or("");
  Row.Port = C[3].value_or("");
  Row.Result = C[4].value_or("");
  Row.Sequence = C[5].value_or("");
  if (C[7]) Row.Serial = TSerialValue::OfText(*C[7]);
  else if (const auto Number = NumberOf(C[6]))
    Row.Serial = TSerialValue::OfNumber(*Number, TSerialFormat::LittleEndian, 0);
  Row.File = C[8];
  if (C[9]) Row.ImageBytes = ParseDecimalDigits(*C[9]);
  Row.Sha256 = C[10];
  Row.Message = C[11];
  if (C[12]) Row.Seconds = std::strtod(C[12]->c_str(), nullptr);
  if (C[13]) Row.Frames = std::strtoll(C[13]->c_str(), nullptr, 10);
  return Row;
}

}  // namespace

TDatabaseStore::TDatabaseStore(const std::string& Connection, TStoreUse Use) {
  try {
    Db_ = std::make_unique<TOdbcConnection>(ConnectionWithPassword(Connection, StorePasswordFromEnvironment()),
                                            kLoginTimeoutSeconds, kQueryTimeoutSeconds);
  } catch (const EOdbcError& E) {
    throw EStoreError::Failed("connect to the database", E.Diagnostics());
  }
  HasSchema_ = SchemaPresent();
  if (!HasSchema_ && Use == TStoreUse::Production) {
    MakeSchema();
    HasSchema_ = true;
  }
}

TDatabaseStore::~TDatabaseStore() = default;

bool TDatabaseStore::SchemaPresent() {
  std::optional<std::string> Version;
  try {
    const TOdbcResult Result = Db_->Execute("SELECT version FROM hexloader_schema");
    Db_->Commit();
    if (Result.Rows.empty() || Result.Rows[0].empty() || !Result.Rows[0][0]) return false;
    Version = Result.Rows[0][0];
  } catch (const EOdbcError& E) {
    // A missing table; a lost connection shows again at once on the next statement.
    Db_->Rollback();
    return false;
  }
  const int Found = std::atoi(Version->c_str());
  if (Found > kStoreSchemaVersion) throw EStoreError::NewerSchema(Found, kStoreSchemaVersion);
  return true;
}

void TDatabaseStore::MakeSchema() {
  try {
    for (const char* Sql : kCreateTables) Db_->Execute(Sql);
    Db_->Execute("INSERT INTO hexloader_schema (version) VALUES (?)", {TOdbcParam::OfInteger(kStoreSchemaVersion)});
    Db_->Commit();
  } catch (const EOdbcError& E) {
    Db_->Rollback();
    // Another station made them at the same moment: theirs are as good.
    if (SchemaPresent()) return;
    throw EStoreError::Failed("make the record tables", E.Diagnostics());
  }
}

void TDatabaseStore::AddSequence(const std::string& Name) {
  try {
    Db_->Execute("INSERT INTO hexloader_sequences (name, last_number) VALUES (?, NULL)", {TOdbcParam::OfText(Name)});
    Db_->Commit();
  } catch (const EOdbcError& E) {
    Db_->Rollback();
    if (!E.IsDuplicate()) throw;
  }
}

void TDatabaseStore::InsertRow(const TRecordRow& Row) {
  const auto Utc = UtcMillisOfIsoTime(Row.Time);
  std::optional<std::string> SerialText;
  std::optional<std::uint64_t> SerialNumber;
  if (Row.Serial) {
    SerialNumber = Row.Serial->Number();
    if (Row.Serial->IsText()) SerialText = Row.Serial->Text();
  }
  const auto Integer = [](const auto& Value) -> std::optional<std::int64_t> {
    if (!Value) return std::nullopt;
    return static_cast<std::int64_t>(*Value);
  };
  Db_->Execute(
      std::string("INSERT INTO hexloader_records (") + kRecordColumns +
          ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {
          TOdbcParam::OfText(Row.Time),
          TOdbcParam::OfText(IsoUtcTime(Utc.value_or(0))),
          TOdbcParam::OfText(Clipped(Row.Station, 100)),
          TOdbcParam::OfText(Clipped(Row.Port, 1000)),
          TOdbcParam::OfText(Row.Result),
          TOdbcParam::OfText(Row.Serial ? std::optional<std::string>(Clipped(Row.Sequence, 100)) : std::nullopt),
          TOdbcParam::OfDecimal(SerialNumber),
          TOdbcParam::OfText(Clipped(SerialText, 100)),
          TOdbcParam::OfText(Clipped(Row.File, 4000)),
          TOdbcParam::OfInteger(Integer(Row.ImageBytes)),
          TOdbcParam::OfText(Row.Sha256),
          TOdbcParam::OfText(Clipped(Row.Message, 4000)),
          TOdbcParam::OfReal(Row.Seconds),
          TOdbcParam::OfInteger(Row.Frames),
      });
}

TSerialValue TDatabaseStore::TakeOnce(const TSerialSource& Source, const TBoardPlace& Place) {
  const std::vector<TOdbcParam> Name = {TOdbcParam::OfText(Source.Name)};
  // Locks the sequence's row until the commit: a second station waits here, then reads this number.
  if (Db_->Execute("UPDATE hexloader_sequences SET last_number = last_number WHERE name = ?", Name).RowCount == 0) {
    Db_->Rollback();
    AddSequence(Source.Name);
    if (Db_->Execute("UPDATE hexloader_sequences SET last_number = last_number WHERE name = ?", Name).RowCount == 0)
      throw EStoreError::Failed("take a serial number", "the sequence's row is missing");
  }
  TSequenceMemory Memory;
  const TOdbcResult Last = Db_->Execute("SELECT last_number FROM hexloader_sequences WHERE name = ?", Name);
  if (!Last.Rows.empty()) Memory.Largest = NumberOf(Last.Rows[0][0]);
  if (!Source.ListFile.empty()) {
    const TOdbcResult Taken = Db_->Execute(
        "SELECT serial_number, serial_text FROM hexloader_records WHERE sequence_name = ? AND result = 'taken'", Name);
    for (const TOdbcRow& Row : Taken.Rows) {
      if (Row[1]) Memory.Note(TSerialValue::OfText(*Row[1]));
      else if (const auto Number = NumberOf(Row[0]))
        Memory.Note(TSerialValue::OfNumber(*Number, TSerialFormat::LittleEndian, 0));
    }
  }
  const TSerialValue Value = NextSerial(Source, Memory);
  if (Value.Number() && (!Memory.Largest || *Value.Number() > *Memory.Largest))
    Db_->Execute("UPDATE hexloader_sequences SET last_number = ? WHERE name = ?",
                 {TOdbcParam::OfDecimal(Value.Number()), TOdbcParam::OfText(Source.Name)});
  InsertRow(RowOf(TSerialTaken{Place.Time, Place.Port, Place.Station, Source.Name, Value}));
  Db_->Commit();
  return Value;
}

TSerialValue TDatabaseStore::TakeSerial(const TSerialSource& Source, const TBoardPlace& Place) {
  const std::lock_guard Guard(Mutex_);
  for (int Attempt = 1;; ++Attempt) {
    try {
      return TakeOnce(Source, Place);
    } catch (const EOdbcError& E) {
      Db_->Rollback();
      if (E.IsConflict() && Attempt < kConflictRetries) continue;
      throw EStoreError::Failed("take a serial number", E.Diagnostics());
    } catch (...) {
      Db_->Rollback();
      throw;
    }
  }
}

void TDatabaseStore::WriteUpload(const TUploadRecord& Record) {
  const std::lock_guard Guard(Mutex_);
  try {
    InsertRow(RowOf(Record));
    Db_->Commit();
  } catch (const EOdbcError& E) {
    Db_->Rollback();
    throw EStoreError::Failed("write a record", E.Diagnostics());
  }
}

std::vector<TRecordRow> TDatabaseStore::ReadRecords(const TRecordFilter& Filter) {
  const std::lock_guard Guard(Mutex_);
  if (!HasSchema_) return {};
  // The store narrows by what a board's taken row and upload row share (and by time: a taken row
  // comes before its upload); the rest is left to SelectRecords.
  std::string Sql = std::string("SELECT ") + kRecordColumns + " FROM hexloader_records WHERE 1 = 1";
  std::vector<TOdbcParam> Params;
  if (Filter.Sequence) {
    Sql += " AND sequence_name = ?";
    Params.push_back(TOdbcParam::OfText(*Filter.Sequence));
  }
  if (Filter.SerialText) {
    Sql += " AND serial_text = ?";
    Params.push_back(TOdbcParam::OfText(*Filter.SerialText));
  } else if (Filter.SerialFrom) {
    Sql += " AND serial_number >= ? AND serial_number <= ?";
    Params.push_back(TOdbcParam::OfDecimal(*Filter.SerialFrom));
    Params.push_back(TOdbcParam::OfDecimal(*Filter.SerialTo));
  }
  if (Filter.SinceUtcMillis) {
    Sql += " AND time_utc >= ?";
    Params.push_back(TOdbcParam::OfText(IsoUtcTime(*Filter.SinceUtcMillis)));
  }
  if (Filter.Port) {
    Sql += " AND port = ?";
    Params.push_back(TOdbcParam::OfText(*Filter.Port));
  }
  Sql += " ORDER BY time_utc, CASE WHEN result = 'taken' THEN 0 ELSE 1 END";
  std::vector<TRecordRow> Rows;
  try {
    const TOdbcResult Result = Db_->Execute(Sql, Params);
    Db_->Commit();
    for (const TOdbcRow& Columns : Result.Rows) Rows.push_back(RowFromColumns(Columns));
  } catch (const EOdbcError& E) {
    Db_->Rollback();
    throw EStoreError::Failed("read the records", E.Diagnostics());
  }
  return SelectRecords(Rows, Filter);
}

}  // namespace hexloader::production
