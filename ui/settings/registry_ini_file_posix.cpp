#include "ui/settings/registry_ini_file.h"
#include "ui/settings/settings_errors.h"

namespace hexloader {

std::unique_ptr<TCustomIniFile> OpenRegistryIniFile(TRegKey, const std::string&, const TRegAccess&) {
  throw ERegistryException(RegistryUnavailableMessage());
}

}  // namespace hexloader
