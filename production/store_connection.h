#pragma once
// The database store's ODBC connection string (--store, Store=). It may name a DSN ("DSN=line1") or a
// driver and server; it must never carry the password, which comes from the DSN, the driver's own
// configuration or the environment variable HEXLOADER_STORE_PASSWORD, added here in memory only.
#include <optional>
#include <string>

namespace hexloader::production {

inline constexpr const char* kStorePasswordVariable = "HEXLOADER_STORE_PASSWORD";

// Refuses (EProductionSettingError, naming the setting as Name) a connection string with a PWD= or
// PASSWORD= attribute, in any letter case, outside braces.
void CheckStoreConnection(const std::string& Connection, const std::string& Name);

// Connection with ";PWD={Password}" added when Password is given (braces inside it doubled, as ODBC
// quotes a value). The result must never be shown, logged or put on a command line.
std::string ConnectionWithPassword(const std::string& Connection, const std::optional<std::string>& Password);

// HEXLOADER_STORE_PASSWORD as UTF-8, when it is set and not empty (store_environment_<platform>.cpp).
std::optional<std::string> StorePasswordFromEnvironment();

}  // namespace hexloader::production
