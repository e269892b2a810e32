#pragma once
// The settings store's exceptions and the one place their messages are built.
#include <string>

#include "core/exception.h"

namespace hexloader {

class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// "Unable to write to %s" with the INI file's full path.
std::string UnableToWriteMessage(const std::string& IniPath);
// The refusal of a value that holds a line break (it would end its line and could forge further keys).
std::string LineBreakInValueMessage(const std::string& Section, const std::string& Key);
// The refusal of registry mode where the platform has no registry.
std::string RegistryUnavailableMessage();
// Registry mode's failures: "Invalid data type for '%s'", "Failed to get data for '%s'" and "Failed to set
// data for '%s'" with the value's name, "Failed to create key %s" with the section's.
std::string RegistryInvalidDataTypeMessage(const std::string& ValueName);
std::string RegistryGetDataMessage(const std::string& ValueName);
std::string RegistrySetDataMessage(const std::string& ValueName);
std::string RegistryCreateKeyMessage(const std::string& Section);

}  // namespace hexloader
