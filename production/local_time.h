#pragma once
// The C library's calendar conversions in their thread-safe forms (local_time_<platform>.cpp).
#include <ctime>

namespace hexloader::production {

std::tm LocalCalendar(std::time_t Time);
std::tm UtcCalendar(std::time_t Time);
// Local time minus UTC in seconds at Time, whose local calendar is Local (LocalCalendar(Time)).
long UtcOffsetSeconds(std::time_t Time, const std::tm& Local);

}  // namespace hexloader::production
