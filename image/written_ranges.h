#pragma once
// The address ranges that data records have written so far, to refuse a record that writes a byte twice.
// Adjacent ranges are merged, so a file of records in ascending order costs one entry.
#include <cstdint>
#include <map>
#include <optional>

namespace hexloader {

class TWrittenRanges {
 public:
  // The lowest address in [Begin, End) that an earlier range holds, if any.
  std::optional<std::uint64_t> FirstOverlap(std::uint64_t Begin, std::uint64_t End) const;
  // Records [Begin, End) as written; it must not overlap what is recorded.
  void Add(std::uint64_t Begin, std::uint64_t End);

 private:
  std::map<std::uint64_t, std::uint64_t> Ranges_;  // begin -> end (exclusive), disjoint, not touching
};

}  // namespace hexloader
