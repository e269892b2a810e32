#pragma once
// The station's name in every record: --station (Station=) when given, otherwise the host's name.
#include <string>

#include "production/production_settings.h"

namespace hexloader::production {

// The host's name (station_name_<platform>.cpp); "unknown" when the system will not tell.
std::string HostName();

// Settings.Station, or the host's name when it is empty.
std::string StationName(const TProductionSettings& Settings);

}  // namespace hexloader::production
