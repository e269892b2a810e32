#pragma once
// The upload record as the command line's upload uses it: the production library's record.
#include "production/record_time.h"
#include "production/upload_record.h"

namespace hexloader::cli {

using production::FormatUploadRecord;
using production::IsoLocalTime;
using production::ResultName;
using production::TUploadRecord;
using production::TUploadResult;

}  // namespace hexloader::cli
