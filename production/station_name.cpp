#include "production/station_name.h"

namespace hexloader::production {

std::string StationName(const TProductionSettings& Settings) {
  return Settings.Station.empty() ? HostName() : Settings.Station;
}

}  // namespace hexloader::production
