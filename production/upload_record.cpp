#include "production/upload_record.h"

#include "production/record_row.h"

namespace hexloader::production {

const char* ResultName(TUploadResult Result) {
  switch (Result) {
    case TUploadResult::Ok: return "ok";
    case TUploadResult::ReplyError: return "reply-error";
    case TUploadResult::Silent: return "silent";
    case TUploadResult::PortError: return "port-error";
    case TUploadResult::Interrupted: return "interrupted";
  }
  return "port-error";
}

std::string FormatUploadRecord(const TUploadRecord& Record) { return FormatRecordLine(RowOf(Record)); }

std::string FormatTakenRecord(const TSerialTaken& Taken) { return FormatRecordLine(RowOf(Taken)); }

}  // namespace hexloader::production
