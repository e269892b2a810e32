#pragma once
// The C library's calendar conversions in their thread-safe forms (local_time_<platform>.cpp).
#include <ctime>

namespace hexloader::production {

std::tm LocalCalendar(std::time_t Time);
std::tm UtcCalendar(std::time_t Time);

}  // namespace hexloader::production
