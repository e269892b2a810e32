#pragma once
// Which records the records command shows: one board's number or a range, records since a time, one
// port, one result, one sequence. The stores narrow what they read with it; the rows are then folded
// so that each board shows once.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "production/record_row.h"

namespace hexloader::production {

struct TRecordFilter {
  std::optional<std::uint64_t> SerialFrom, SerialTo;  // a number or a range of numbers, both ends included
  std::optional<std::string> SerialText;              // an ascii text that is no number, exactly
  std::optional<std::int64_t> SinceUtcMillis;
  std::optional<std::string> Port;
  std::optional<std::string> Result;
  std::optional<std::string> Sequence;

  // Everything but the result, which applies to folded rows (FoldTakenRows).
  bool MatchesRow(const TRecordRow& Row) const;

  // "N" or "N-M" (decimal or 0x hexadecimal), or a text for ascii lists; false for an empty text or a
  // range whose end lies before its start.
  bool SetSerial(const std::string& Text);
};

// One row per board: a taken number's row is left out when a later upload row of the same sequence
// and number follows it; a taken row with no upload after it stays, with result "taken" (a board that
// never finished, or never came). Rows keep their order.
std::vector<TRecordRow> FoldTakenRows(const std::vector<TRecordRow>& Rows);

// Filter applied to Rows as a whole: MatchesRow, folding, then the result.
std::vector<TRecordRow> SelectRecords(const std::vector<TRecordRow>& Rows, const TRecordFilter& Filter);

}  // namespace hexloader::production
