#pragma once
// Which number the next board gets. A sequence is named (one per product); the stores remember every
// value taken in it, and the next one follows from that memory alone, so a restart, another process
// or another station sharing the store never hands out a number twice.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "production/production_settings.h"
#include "production/serial_stamp.h"
#include "production/serial_value.h"

namespace hexloader::production {

// What a run draws its numbers from.
struct TSerialSource {
  std::string Name;  // the sequence
  TSerialField Field;
  std::uint64_t Start = 0;
  std::uint64_t Step = 1;
  std::string ListFile;            // empty: Start and Step
  std::vector<TSerialValue> List;  // the list's values in order, when ListFile is given
};

// The source of Settings, with its list read and checked (ESerialListError, EFOpenError): every line
// a value that fits the field, none twice.
TSerialSource LoadSerialSource(const TSerialSettings& Settings);

// The values of a list file's text, as LoadSerialSource reads them (File names it in messages).
std::vector<TSerialValue> ParseSerialList(const std::string& Text, const TSerialField& Field, const std::string& File);

// What a store remembers of one sequence.
struct TSequenceMemory {
  std::optional<std::uint64_t> Largest;  // the largest number taken
  std::set<TSerialValue::TKey> Taken;    // every value taken
  void Note(const TSerialValue& Value);
};

// The next value: without a list the larger of the start and the largest number taken plus the step;
// with a list the first value not yet taken. Raises ESerialSequenceEnded when the number does not fit
// the field, passes 2^64 - 1, or the list is used up.
TSerialValue NextSerial(const TSerialSource& Source, const TSequenceMemory& Memory);

}  // namespace hexloader::production
