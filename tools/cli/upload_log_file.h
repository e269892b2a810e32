#pragma once
// The record file as the command line's upload uses it: the production library's record file.
#include "production/record_file.h"

namespace hexloader::cli {

using production::NotRegularFileMessage;
using TUploadLogFile = production::TRecordFile;

}  // namespace hexloader::cli
