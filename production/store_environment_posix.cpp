#include <cstdlib>

#include "production/store_connection.h"

namespace hexloader::production {

std::optional<std::string> StorePasswordFromEnvironment() {
  const char* Value = std::getenv(kStorePasswordVariable);
  if (!Value || !*Value) return std::nullopt;
  return std::string(Value);
}

}  // namespace hexloader::production
