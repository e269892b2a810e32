#include "ui/settings/settings_errors.h"

#include "ui/settings/settings_location.h"

namespace hexloader {

std::string UnableToWriteMessage(const std::string& IniPath) {
  // An installed program that found no configuration folder of its user has no file name to show: name
  // the default place, which tells the operator what is missing.
  return "Unable to write to " + (IniPath.empty() ? UserSettingsFileShownName() : IniPath);
}

std::string LineBreakInValueMessage(const std::string& Section, const std::string& Key) {
  return "A value with a line break cannot be stored under [" + Section + "] " + Key;
}

std::string RegistryUnavailableMessage() {
  return "Registry settings are not available on this platform; use an INI file (PathType ptIniFile)";
}

std::string RegistryInvalidDataTypeMessage(const std::string& ValueName) {
  return "Invalid data type for '" + ValueName + "'";
}

std::string RegistryGetDataMessage(const std::string& ValueName) {
  return "Failed to get data for '" + ValueName + "'";
}

std::string RegistrySetDataMessage(const std::string& ValueName) {
  return "Failed to set data for '" + ValueName + "'";
}

std::string RegistryCreateKeyMessage(const std::string& Section) { return "Failed to create key " + Section; }

}  // namespace hexloader
