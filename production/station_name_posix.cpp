#include <unistd.h>

#include "production/station_name.h"

namespace hexloader::production {

std::string HostName() {
  char Name[256] = {};
  if (::gethostname(Name, sizeof Name - 1) != 0 || !Name[0]) return "unknown";
  return Name;
}

}  // namespace hexloader::production
