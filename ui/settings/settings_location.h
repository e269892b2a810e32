#pragma once
// Where the store's INI file lives when no Path is set. A program run from a build tree or a copied
// folder keeps hexloader.ini beside its executable; an installed program (executable under /usr) may
// not write there, so it keeps the file in the user's configuration folder,
// $XDG_CONFIG_HOME/hexloader/hexloader.ini (default ~/.config/hexloader/). Pure rules: the environment
// is passed in, so they are tested with made-up paths; settings_environment_<platform>.cpp reads it.
#include <string>

namespace hexloader {

// What the rules need to know about the running user's environment.
struct TSettingsEnvironment {
  std::string XdgConfigHome;  // $XDG_CONFIG_HOME as set; empty when unset
  std::string Home;           // $HOME, or the account's home folder when $HOME is unset; may be empty
};

struct TSettingsFile {
  // Full path of the INI file; empty when an installed program finds no configuration folder outside
  // /usr (no usable $XDG_CONFIG_HOME and no home folder): the settings then read as missing and every
  // write fails.
  std::string Path;
  // True for the per-user file: its folder is made (mode 0700) on the first write, never on a read.
  bool CreateFolder = false;
};

// The folder of the per-user settings file, named after the program.
inline constexpr const char* SettingsFolderName = "hexloader";

// True when Path is /usr or lies below it (whole path components only: /usrx is not under /usr).
bool IsUnderUsr(const std::string& Path);

// The INI file for the executable at ExecutablePath (a full path) in the given environment.
TSettingsFile SettingsFileFor(const std::string& ExecutablePath, const TSettingsEnvironment& Environment);

// The running user's environment, read by the platform part.
TSettingsEnvironment CurrentSettingsEnvironment();

}  // namespace hexloader
