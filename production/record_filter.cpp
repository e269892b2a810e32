#include "production/record_filter.h"

#include <map>
#include <utility>

#include "production/record_time.h"

namespace hexloader::production {

bool TRecordFilter::SetSerial(const std::string& Text) {
  if (Text.empty()) return false;
  if (const auto Number = ParseUnsigned(Text)) {
    SerialFrom = SerialTo = *Number;
    return true;
  }
  const auto Dash = Text.find('-');
  if (Dash != std::string::npos) {
    const auto From = ParseUnsigned(Text.substr(0, Dash));
    const auto To = ParseUnsigned(Text.substr(Dash + 1));
    if (From && To) {
      if (*To < *From) return false;
      SerialFrom = *From;
      SerialTo = *To;
      return true;
    }
  }
  SerialText = Text;
  return true;
}

bool TRecordFilter::MatchesRow(const TRecordRow& Row) const {
  if (SerialFrom || SerialText) {
    if (!Row.Serial) return false;
    if (SerialText) {
      if (Row.Serial->Text() != *SerialText) return false;
    } else if (!Row.Serial->Number() || *Row.Serial->Number() < *SerialFrom || *Row.Serial->Number() > *SerialTo) {
      return false;
    }
  }
  if (SinceUtcMillis) {
    const auto Time = UtcMillisOfIsoTime(Row.Time);
    if (!Time || *Time < *SinceUtcMillis) return false;
  }
  if (Port && Row.Port != *Port) return false;
  if (Sequence && Row.Sequence != *Sequence) return false;
  return true;
}

std::vector<TRecordRow> FoldTakenRows(const std::vector<TRecordRow>& Rows) {
  // Walking backwards, an upload row makes an earlier taken row of its number redundant.
  std::map<std::pair<std::string, TSerialValue::TKey>, int> UploadsAhead;
  std::vector<bool> Keep(Rows.size(), true);
  for (std::size_t i = Rows.size(); i-- > 0;) {
    const TRecordRow& Row = Rows[i];
    if (!Row.Serial) continue;
    const auto Key = std::make_pair(Row.Sequence, Row.Serial->Key());
    if (Row.Result != kTakenResult) {
      ++UploadsAhead[Key];
    } else if (auto It = UploadsAhead.find(Key); It != UploadsAhead.end() && It->second > 0) {
      --It->second;
      Keep[i] = false;
    }
  }
  std::vector<TRecordRow> Folded;
  for (std::size_t i = 0; i < Rows.size(); ++i)
    if (Keep[i]) Folded.push_back(Rows[i]);
  return Folded;
}

std::vector<TRecordRow> SelectRecords(const std::vector<TRecordRow>& Rows, const TRecordFilter& Filter) {
  std::vector<TRecordRow> Matching;
  for (const TRecordRow& Row : Rows)
    if (Filter.MatchesRow(Row)) Matching.push_back(Row);
  std::vector<TRecordRow> Selected;
  for (TRecordRow& Row : FoldTakenRows(Matching))
    if (!Filter.Result || Row.Result == *Filter.Result) Selected.push_back(std::move(Row));
  return Selected;
}

}  // namespace hexloader::production
