#pragma once
// The records' times: written as ISO 8601 local time with its offset, compared as UTC.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hexloader::production {

// "2026-12-10T14:05:09.123+01:00" for Time in the local time zone. Safe on any thread.
std::string IsoLocalTime(std::chrono::system_clock::time_point Time);

// Milliseconds since 1970-01-01 UTC of a record's time ("2026-12-10T14:05:09.123+01:00", also with
// "Z", without fraction or seconds); empty for anything else.
std::optional<std::int64_t> UtcMillisOfIsoTime(std::string_view Text);

// "2026-12-10T13:05:09.123Z": sorts as text in time order (the database keeps it beside the local one).
std::string IsoUtcTime(std::int64_t UtcMillis);

// Milliseconds since 1970-01-01 UTC of a local date "2026-12-10" (its midnight) or a local date and
// time "2026-12-10T14:05"; empty for anything else.
std::optional<std::int64_t> UtcMillisOfLocalDate(std::string_view Text);

}  // namespace hexloader::production
