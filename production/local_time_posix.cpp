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

}  // namespace hexloader::production
