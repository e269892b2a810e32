#pragma once
// The address ranges that data records have written so far, to refuse a record that writes a byte twice.
// Adjacent ranges are merged, so a file of records in ascending order costs one entry.
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>

namespace hexloader {

class TWrittenRanges {
 public:
  // The lowest address in [Begin, End) that an earlier range holds, if any.
  std::optional<std::uint64_t> FirstOverlap(std::uint64_t Begin, std::uint64_t End) const {
    // Records in ascending order start at or after the highest end: no search.
    if (Begin >= HighestEnd_ || Begin >= End) return std::nullopt;
    return SearchOverlap(Begin, End);
  }
  // Records [Begin, End) as written; it must not overlap what is recorded.
  void Add(std::uint64_t Begin, std::uint64_t End) {
    if (Begin >= End) return;
    if (Begin == HighestEnd_ && !Ranges_.empty()) {
      std::prev(Ranges_.end())->second = HighestEnd_ = End;
      return;
    }
    Insert(Begin, End);
  }

 private:
  std::optional<std::uint64_t> SearchOverlap(std::uint64_t Begin, std::uint64_t End) const;
  void Insert(std::uint64_t Begin, std::uint64_t End);

  std::map<std::uint64_t, std::uint64_t> Ranges_;  // begin -> end (exclusive), disjoint, not touching
  std::uint64_t HighestEnd_ = 0;                   // the end of the last range, 0 when there is none
};

}  // namespace hexloader
