#include "ui/settings/ini_file.h"

#include "ui/settings/profile_file.h"
#include "ui/settings/settings_errors.h"

namespace hexloader {

TIniFile::~TIniFile() { UpdateFile(); }

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key, const std::string& Default) {
  return ReadProfileString(FileName_, Section, Key, Default, MaxValueChars);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key, const std::string& Value) {
  // Told apart from a refused write: the settings file itself is fine.
  if (Value.find_first_of("\r\n") != std::string::npos) throw EIniFileException(LineBreakInValueMessage(Section, Key));
  const bool written = !FileName_.empty() && (!CreateFolder_ || CreateProfileFolder(FileName_)) &&
                       WriteProfileString(FileName_, Section, Key, Value);
  if (!written) throw EIniFileException(UnableToWriteMessage(FileName_));
}

std::vector<std::string> TIniFile::ReadSectionKeys(const std::string& Section) {
  return ReadProfileSectionKeys(FileName_, Section);
}

void TIniFile::UpdateFile() { FlushProfile(FileName_); }

}  // namespace hexloader
