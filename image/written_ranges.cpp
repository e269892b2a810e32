#include "image/written_ranges.h"

#include <algorithm>
#include <iterator>

namespace hexloader {

std::optional<std::uint64_t> TWrittenRanges::SearchOverlap(std::uint64_t Begin, std::uint64_t End) const {
  // The range starting at or before Begin may reach into [Begin, End); otherwise the next one may start inside.
  auto next = Ranges_.upper_bound(Begin);
  if (next != Ranges_.begin()) {
    auto prev = std::prev(next);
    if (prev->second > Begin) return Begin;
  }
  if (next != Ranges_.end() && next->first < End) return next->first;
  return std::nullopt;
}

void TWrittenRanges::Insert(std::uint64_t Begin, std::uint64_t End) {
  if (End > HighestEnd_) HighestEnd_ = End;
  auto next = Ranges_.upper_bound(Begin);
  if (next != Ranges_.begin()) {
    auto prev = std::prev(next);
    if (prev->second == Begin) {
      prev->second = End;
      if (next != Ranges_.end() && next->first == End) {
        prev->second = next->second;
        Ranges_.erase(next);
      }
      return;
    }
  }
  if (next != Ranges_.end() && next->first == End) {
    std::uint64_t nextEnd = next->second;
    Ranges_.erase(next);
    Ranges_.emplace(Begin, nextEnd);
    return;
  }
  Ranges_.emplace_hint(next, Begin, End);
}

}  // namespace hexloader
