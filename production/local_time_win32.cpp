#include <time.h>

#include "production/local_time.h"

namespace hexloader::production {

std::tm LocalCalendar(std::time_t Time) {
  std::tm Out{};
  ::localtime_s(&Out, &Time);
  return Out;
}

std::tm UtcCalendar(std::time_t Time) {
  std::tm Out{};
  ::gmtime_s(&Out, &Time);
  return Out;
}

// The local calendar read as if it were UTC, minus the moment itself.
long UtcOffsetSeconds(std::time_t Time, const std::tm& Local) {
  std::tm Copy = Local;
  return static_cast<long>(::_mkgmtime(&Copy) - Time);
}

}  // namespace hexloader::production
