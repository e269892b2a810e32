#include "ui/settings/settings_errors.h"

namespace hexloader {

std::string UnableToWriteMessage(const std::string& IniPath) { return "Unable to write to " + IniPath; }

std::string RegistryUnavailableMessage() {
  return "Registry settings are not available on this platform; use an INI file (PathType ptIniFile)";
}

}  // namespace hexloader
