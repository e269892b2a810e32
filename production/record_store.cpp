#include "production/record_store.h"

#include "production/database_store.h"
#include "production/record_file_store.h"

namespace hexloader::production {
namespace {

// The database as the journal, every line it takes also appended to the record file: the file keeps
// the station's own copy, and the database decides.
class TStoreWithFileCopy final : public TRecordStore {
 public:
  TStoreWithFileCopy(std::unique_ptr<TRecordStore> Store, std::unique_ptr<TRecordFileStore> Copy)
      : Store_(std::move(Store)), Copy_(std::move(Copy)) {}

  TSerialValue TakeSerial(const TSerialSource& Source, const TBoardPlace& Place) override {
    const TSerialValue Value = Store_->TakeSerial(Source, Place);
    Copy_->AppendLine(FormatTakenRecord({Place.Time, Place.Port, Place.Station, Source.Name, Value}));
    return Value;
  }

  void WriteUpload(const TUploadRecord& Record) override {
    Store_->WriteUpload(Record);
    Copy_->WriteUpload(Record);
  }

  std::vector<TRecordRow> ReadRecords(const TRecordFilter& Filter) override { return Store_->ReadRecords(Filter); }

 private:
  std::unique_ptr<TRecordStore> Store_;
  std::unique_ptr<TRecordFileStore> Copy_;
};

}  // namespace

std::unique_ptr<TRecordStore> OpenRecordStore(const TProductionSettings& Settings, TStoreUse Use) {
  const TRecordFile::TAccess Access =
      Use == TStoreUse::Reading ? TRecordFile::TAccess::Read : TRecordFile::TAccess::Append;
  // The file first: a file that cannot be opened is found before the network is tried.
  std::unique_ptr<TRecordFileStore> File;
  if (!Settings.LogFile.empty()) File = std::make_unique<TRecordFileStore>(Settings.LogFile, Access);
  if (Settings.Store.empty()) return File;
  auto Database = std::make_unique<TDatabaseStore>(Settings.Store, Use);
  if (!File || Use == TStoreUse::Reading) return Database;
  return std::make_unique<TStoreWithFileCopy>(std::move(Database), std::move(File));
}

}  // namespace hexloader::production
