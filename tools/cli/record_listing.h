#pragma once
// The records command's output: an aligned table for people, CSV or JSON for programs.
#include <string>
#include <vector>

#include "production/record_row.h"

namespace hexloader::cli {

enum class TListingFormat { Table, Csv, Json };

// Rows as the format lays them out, ending in a newline ("No records." for an empty table; CSV's
// header line alone; JSON's empty array).
std::string FormatRecordListing(const std::vector<production::TRecordRow>& Rows, TListingFormat Format);

}  // namespace hexloader::cli
