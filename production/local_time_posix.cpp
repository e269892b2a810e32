#include <time.h>

#include "production/local_time.h"

namespace hexloader::production {

std::tm LocalCalendar(std::time_t Time) {
  std::tm Out{};
  ::localtime_r(&Time, &Out);
  return Out;
}

std::tm UtcCalendar(std::time_t Time) {
  std::tm Out{};
  ::gmtime_r(&Time, &Out);
  return Out;
}

// The C library's own offset of that moment (no mktime: it would read the zone again on every call,
// which neither threads nor a busy line want).
long UtcOffsetSeconds(std::time_t, const std::tm& Local) { return Local.tm_gmtoff; }

}  // namespace hexloader::production
