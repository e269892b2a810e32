#include "ui/settings/reg_ini_file.h"

#include "core/path_separators.h"
#include "ui/settings/executable_path.h"
#include "ui/settings/registry_ini_file.h"
#include "ui/settings/settings_errors.h"
#include "ui/settings/settings_location.h"

namespace hexloader {

std::string IniFileNameFor(const std::string& ExecutablePath) {
  const std::size_t slash = ExecutablePath.find_last_of(PathSeparators());
  const std::size_t dot = ExecutablePath.rfind('.');
  // A dot in a folder name is no extension.
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    return ExecutablePath.substr(0, dot) + ".ini";
  return ExecutablePath + ".ini";
}

// "\Software\Temp\" and the executable's name without folder or extension (this program has no
// application title of its own to put there).
namespace {

std::string DefaultRegistryPath() {
  const std::string exe = ExecutablePath();
  const std::size_t slash = exe.find_last_of(PathSeparators());
  const std::string name = IniFileNameFor(slash == std::string::npos ? exe : exe.substr(slash + 1));
  return "\\Software\\Temp\\" + name.substr(0, name.size() - 4);
}

}  // namespace

TRegIniFile::TRegIniFile() = default;
TRegIniFile::~TRegIniFile() = default;  // frees the backing object, which flushes

void TRegIniFile::SetPath(const std::string& Value) {
  if (Value == Path_) return;
  Path_ = Value;
  ReopenNeeded_ = true;
}

void TRegIniFile::SetPathType(TPathType Value) {
  if (Value == PathType_) return;
  PathType_ = Value;
  ReopenNeeded_ = true;
}

void TRegIniFile::SetRegKey(TRegKey Value) {
  if (Value == RegKey_) return;
  RegKey_ = Value;
  ReopenNeeded_ = true;
}

void TRegIniFile::SetRegAccess(const TRegAccess& Value) {
  if (Value == RegAccess_) return;
  RegAccess_ = Value;
  ReopenNeeded_ = true;
}

void TRegIniFile::EnsureOpen() {
  if (ReopenNeeded_) {
    Backing_.reset();
    if (PathType_ == TPathType::ptRegistry) {
      Backing_ = OpenRegistryIniFile(RegKey_, Path_.empty() ? DefaultRegistryPath() : Path_, RegAccess_);
    } else if (Path_.empty()) {
      const TSettingsFile file = CurrentSettingsFile(ExecutablePath());
      Backing_ = std::make_unique<TIniFile>(file.Path, file.CreateFolder);
    } else {
      Backing_ = std::make_unique<TIniFile>(Path_);
    }
  }
  ReopenNeeded_ = false;
}

bool TRegIniFile::HasSection(const std::string& Section) {
  EnsureOpen();
  return !Backing_->ReadSectionKeys(Section).empty();
}

std::string TRegIniFile::ReadValue(const std::string& Section, const std::string& Key, const std::string& Default) {
  EnsureOpen();
  return Backing_->ReadString(Section, Key, Default);
}

void TRegIniFile::WriteValue(const std::string& Section, const std::string& Key, const std::string& Value) {
  EnsureOpen();
  Backing_->WriteString(Section, Key, Value);
}

std::string TRegIniFile::IniFileName() {
  EnsureOpen();
  const auto* ini = dynamic_cast<const TIniFile*>(Backing_.get());
  return ini ? ini->FileName() : std::string();
}

}  // namespace hexloader
