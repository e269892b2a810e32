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

}  // namespace hexloader::production
