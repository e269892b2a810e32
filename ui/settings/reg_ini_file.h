#pragma once
// TRegIniFile: the store of the operator's choices between runs. Each operation first runs EnsureOpen,
// which (re)builds the backing object when a property changed; nothing is read or written before.
// In INI mode (the default) the sections live in a text file named after the executable, beside it;
// an installed program keeps hexloader.ini in the user's configuration folder instead (on Linux under
// $XDG_CONFIG_HOME, on Windows under %APPDATA%; settings_location.h).
// Registry mode exists only where the platform has a registry: elsewhere its first operation raises
// ERegistryException.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/settings/ini_file.h"

namespace hexloader {

enum class TPathType { ptIniFile, ptRegistry };
enum class TRegKey {
  hkeyClassesRoot,
  hkeyCurrentUser,
  hkeyLocalMachine,
  hkeyUsers,
  hkeyPerformanceData,
  hkeyCurrentConfig,
  hkeyDynData
};
enum class TRegAccessKey {
  keyQueryValue,
  keySetValue,
  keyCreateSubKey,
  keyEnumerateSubKeys,
  keyNotify,
  keyCreateLink,
  keyRead,
  keyWrite,
  keyExecute,
  keyAllAccess
};
using TRegAccess = std::set<TRegAccessKey>;

// The INI file for an executable: its extension (from the last "." after the last of the platform's
// PathSeparators) replaced by ".ini", or ".ini" appended when the file name has no extension.
std::string IniFileNameFor(const std::string& ExecutablePath);

class TRegIniFile {
 public:
  TRegIniFile();
  ~TRegIniFile();
  TRegIniFile(const TRegIniFile&) = delete;
  TRegIniFile& operator=(const TRegIniFile&) = delete;

  const std::string& Path() const { return Path_; }
  void SetPath(const std::string& Value);
  TPathType PathType() const { return PathType_; }
  void SetPathType(TPathType Value);
  TRegKey RegKey() const { return RegKey_; }
  void SetRegKey(TRegKey Value);
  const TRegAccess& RegAccess() const { return RegAccess_; }
  void SetRegAccess(const TRegAccess& Value);
  bool ReopenNeeded() const { return ReopenNeeded_; }

  // True when Section holds at least one key; a missing file has no sections.
  bool HasSection(const std::string& Section);
  // The stored value (at most 2047 characters), or Default when file, section or key is missing.
  std::string ReadValue(const std::string& Section, const std::string& Key, const std::string& Default);
  // Stores the value, creating file, section and key as needed; raises EIniFileException
  // "Unable to write to <INI path>" when the file cannot be written.
  void WriteValue(const std::string& Section, const std::string& Key, const std::string& Value);

  // The INI file the store uses (EnsureOpen first, so the backing object is built when it is missing);
  // empty in registry mode, and when an installed program found no configuration folder.
  std::string IniFileName();

 private:
  void EnsureOpen();

  std::string Path_;
  TPathType PathType_ = TPathType::ptIniFile;
  TRegKey RegKey_ = TRegKey::hkeyCurrentUser;
  TRegAccess RegAccess_{TRegAccessKey::keyAllAccess};
  bool ReopenNeeded_ = true;
  std::unique_ptr<TCustomIniFile> Backing_;
};

}  // namespace hexloader
