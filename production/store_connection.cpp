#include "production/store_connection.h"

#include <algorithm>
#include <cctype>

#include "production/production_errors.h"

namespace hexloader::production {
namespace {

std::string KeyOf(const std::string& Attribute) {
  const auto Equals = Attribute.find('=');
  std::string Key = Attribute.substr(0, Equals);
  Key.erase(0, Key.find_first_not_of(" \t"));
  Key.erase(Key.find_last_not_of(" \t") + 1);
  std::transform(Key.begin(), Key.end(), Key.begin(),
                 [](unsigned char C) { return static_cast<char>(std::toupper(C)); });
  return Key;
}

}  // namespace

void CheckStoreConnection(const std::string& Connection, const std::string& Name) {
  // Attributes are split at ';' outside braces: "Driver={A;B};Server=x" has two.
  std::string Attribute;
  bool InBraces = false;
  const auto Check = [&] {
    const std::string Key = KeyOf(Attribute);
    if (Key == "PWD" || Key == "PASSWORD") throw EProductionSettingError::PasswordInConnection(Name);
    Attribute.clear();
  };
  for (std::size_t i = 0; i < Connection.size(); ++i) {
    const char C = Connection[i];
    if (InBraces) {
      // "}}" inside braces is a brace of the value.
      if (C == '}' && i + 1 < Connection.size() && Connection[i + 1] == '}') {
        Attribute += "}}";
        ++i;
        continue;
      }
      if (C == '}') InBraces = false;
    } else if (C == '{') {
      InBraces = true;
    } else if (C == ';') {
      Check();
      continue;
    }
    Attribute += C;
  }
  Check();
}

std::string ConnectionWithPassword(const std::string& Connection, const std::optional<std::string>& Password) {
  if (!Password) return Connection;
  std::string Quoted;
  for (const char C : *Password) {
    Quoted += C;
    if (C == '}') Quoted += '}';
  }
  std::string Result = Connection;
  if (!Result.empty() && Result.back() != ';') Result += ';';
  return Result + "PWD={" + Quoted + "}";
}

}  // namespace hexloader::production
