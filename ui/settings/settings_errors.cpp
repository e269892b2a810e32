#include "ui/settings/settings_errors.h"

namespace hexloader {

std::string UnableToWriteMessage(const std::string& IniPath) {
  // An installed program that found no home folder has no file name to show: name the default place,
  // which tells the operator what is missing.
  return "Unable to write to " + (IniPath.empty() ? std::string("$HOME/.config/hexloader/hexloader.ini") : IniPath);
}

std::string LineBreakInValueMessage(const std::string& Section, const std::string& Key) {
  return "A value with a line break cannot be stored under [" + Section + "] " + Key;
}

std::string RegistryUnavailableMessage() {
  return "Registry settings are not available on this platform; use an INI file (PathType ptIniFile)";
}

}  // namespace hexloader
