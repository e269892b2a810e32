#include "production/record_file_store.h"

namespace hexloader::production {

TRecordFileStore::TRecordFileStore(const std::string& Path, TRecordFile::TAccess Access) : File_(Path, Access) {}

void TRecordFileStore::CatchUp() {
  // From the last byte already read, so that a file emptied under us (by hand) shows as such: its
  // journal then starts again.
  std::string Text = File_.ReadFrom(ReadUpTo_ > 0 ? ReadUpTo_ - 1 : 0);
  if (ReadUpTo_ > 0) {
    if (Text.empty()) {
      ReadUpTo_ = 0;
      Sequences_.clear();
      Text = File_.ReadFrom(0);
    } else {
      Text.erase(0, 1);
    }
  }
  // Only whole lines: a line still being written by another process would hold the lock.
  const std::size_t End = Text.rfind('\n');
  if (End == std::string::npos) return;
  std::size_t Begin = 0;
  while (Begin <= End) {
    const std::size_t LineEnd = Text.find('\n', Begin);
    if (const auto Row = ParseRecordLine(std::string_view(Text).substr(Begin, LineEnd - Begin)))
      if (Row->Serial) Sequences_[Row->Sequence].Note(*Row->Serial);
    Begin = LineEnd + 1;
  }
  ReadUpTo_ += End + 1;
}

TSerialValue TRecordFileStore::TakeSerial(const TSerialSource& Source, const TBoardPlace& Place) {
  const std::lock_guard Guard(Mutex_);
  const TRecordFile::TLock Held(File_);
  CatchUp();
  const TSerialValue Value = NextSerial(Source, Sequences_[Source.Name]);
  File_.AppendLocked(FormatTakenRecord({Place.Time, Place.Port, Place.Station, Source.Name, Value}), Held);
  Sequences_[Source.Name].Note(Value);
  return Value;
}

void TRecordFileStore::WriteUpload(const TUploadRecord& Record) { AppendLine(FormatUploadRecord(Record)); }

void TRecordFileStore::AppendLine(const std::string& Line) {
  const std::lock_guard Guard(Mutex_);
  File_.Append(Line);
}

std::vector<TRecordRow> TRecordFileStore::ReadRecords(const TRecordFilter& Filter) {
  const std::lock_guard Guard(Mutex_);
  const std::string Text = File_.ReadFrom(0);
  std::vector<TRecordRow> Rows;
  std::size_t Begin = 0;
  while (Begin < Text.size()) {
    std::size_t End = Text.find('\n', Begin);
    if (End == std::string::npos) End = Text.size();
    if (auto Row = ParseRecordLine(std::string_view(Text).substr(Begin, End - Begin))) Rows.push_back(std::move(*Row));
    Begin = End + 1;
  }
  return SelectRecords(Rows, Filter);
}

}  // namespace hexloader::production
