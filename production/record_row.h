#pragma once
// One record as the stores keep it and the records command shows it, whatever its kind: the fields
// of an upload record, of a taken serial number, or of a line written before stations and serial
// numbers existed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "production/serial_value.h"
#include "production/upload_record.h"

namespace hexloader::production {

struct TRecordRow {
  std::string Time;  // as written: ISO 8601 local time with its offset
  std::string Port;
  std::string Station;
  std::string Result;               // "ok", "reply-error", ..., or "taken"
  std::optional<std::string> File;  // the upload's fields; empty for a taken number
  std::optional<std::uint64_t> ImageBytes;
  std::optional<std::string> Sha256;
  std::string Sequence;
  std::optional<TSerialValue> Serial;
  std::optional<std::string> Message;
  std::optional<double> Seconds;
  std::optional<std::int64_t> Frames;
};

TRecordRow RowOf(const TUploadRecord& Record);
TRecordRow RowOf(const TSerialTaken& Taken);

// The row as one JSON object and a newline, in the record file's order of fields.
std::string FormatRecordLine(const TRecordRow& Row);

// The row of one line of a record file; empty for a line that is no record (not JSON, not an object,
// without a time or a result: the remains of a write cut off by a crash, another program's line).
std::optional<TRecordRow> ParseRecordLine(std::string_view Line);

}  // namespace hexloader::production
