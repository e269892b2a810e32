#pragma once
// The production line's settings as values: which station this is, where the records go, and how
// each board gets its serial number. One table names every setting twice, as the command line's
// option ("--serial-at") and as the key of the settings file's [Production] section ("SerialAt"), and
// one reader turns either into these values with the same checks and the same messages.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "production/serial_value.h"

namespace hexloader::production {

// The sequence used when --serial-name is not given.
inline constexpr const char* kDefaultSequenceName = "default";

struct TSerialSettings {
  std::uint32_t Address = 0;  // the field's first byte in the image
  int Size = 0;               // the field's bytes, 1 to 8
  TSerialFormat Format = TSerialFormat::LittleEndian;
  std::uint64_t Start = 0;                  // without a list: the first number of the sequence
  std::uint64_t Step = 1;                   // without a list: the difference between two numbers, at least 1
  std::string ListFile;                     // when not empty: the values come from this file, in order, instead
  std::string Name = kDefaultSequenceName;  // the sequence: one per product
};

struct TProductionSettings {
  std::string Station;                    // as given; empty: the host's name (StationName in station_name.h)
  std::string LogFile;                    // the record file; empty: none
  std::string Store;                      // the database's ODBC connection string; empty: none
  std::optional<TSerialSettings> Serial;  // present when serial numbers are on
};

enum class TProductionKey {
  Station,
  Log,
  Store,
  SerialAt,
  SerialSize,
  SerialFormat,
  SerialStart,
  SerialStep,
  SerialList,
  SerialName
};

struct TProductionKeyName {
  TProductionKey Key;
  const char* Option;     // the command line's option, "--serial-at"
  const char* IniKey;     // the [Production] section's key, "SerialAt"
  const char* ValueWord;  // what the help shows after the option, "ADDRESS"
};

// Every setting, in the order the help lists them.
const std::vector<TProductionKeyName>& ProductionKeyNames();
// The setting of a command-line option ("--serial-at"), or nullptr.
const TProductionKeyName* FindProductionOption(std::string_view Option);
// The setting of a [Production] key, without regard to ASCII letter case, or nullptr.
const TProductionKeyName* FindProductionIniKey(std::string_view Key);

// Where the values come from: messages name each setting as that source spells it.
enum class TSettingsSource { CommandLine, IniSection };

// Collects the settings one value at a time, then checks them as a whole. Every refusal is an
// EProductionSettingError whose message names the setting as Source spells it.
class TProductionSettingsReader {
 public:
  explicit TProductionSettingsReader(TSettingsSource Source) : Source_(Source) {}

  // Takes one setting's value. On the command line an empty value is refused; in the settings file it
  // means "not set" (a key left as "SerialList="). A setting given twice is refused.
  void Set(TProductionKey Key, const std::string& Value);

  // The settings, once they hold together: serial numbers need an address, a size and either a start
  // or a list, and a record file or a store to remember the sequence; the field must end within the
  // largest image; the start must fit the field; the connection string must carry no password.
  TProductionSettings Finish() const;

  // The name Source gives Key ("--serial-size" or "SerialSize").
  std::string NameOf(TProductionKey Key) const;

 private:
  bool Given(TProductionKey Key) const;

  TSettingsSource Source_;
  TProductionSettings Settings_;
  TSerialSettings Serial_;
  std::vector<TProductionKey> Given_;
};

}  // namespace hexloader::production
