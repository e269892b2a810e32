#include "ui/settings/settings_location.h"

#include "ui/settings/reg_ini_file.h"

namespace hexloader {
namespace {

bool IsAbsolute(const std::string& Path) { return !Path.empty() && Path.front() == '/'; }

std::string WithoutTrailingSlashes(std::string Path) {
  while (Path.size() > 1 && Path.back() == '/') Path.pop_back();
  return Path;
}

// The user's configuration folder by the XDG rules: $XDG_CONFIG_HOME when it is an absolute path
// (relative ones are to be ignored), otherwise ~/.config. A folder under /usr is never used: the
// program must not write there, whoever runs it.
std::string ConfigHome(const TSettingsEnvironment& Environment) {
  if (IsAbsolute(Environment.XdgConfigHome) && !IsUnderUsr(Environment.XdgConfigHome))
    return WithoutTrailingSlashes(Environment.XdgConfigHome);
  if (IsAbsolute(Environment.Home)) {
    const std::string home = WithoutTrailingSlashes(Environment.Home);
    const std::string config = (home == "/" ? std::string() : home) + "/.config";
    if (!IsUnderUsr(config)) return config;
  }
  return {};
}

}  // namespace

bool IsUnderUsr(const std::string& Path) {
  // Repeated slashes name the same folder.
  std::string path;
  for (char c : Path)
    if (c != '/' || path.empty() || path.back() != '/') path += c;
  return path == "/usr" || path.rfind("/usr/", 0) == 0;
}

TSettingsFile SettingsFileFor(const std::string& ExecutablePath, const TSettingsEnvironment& Environment) {
  if (!IsUnderUsr(ExecutablePath)) return {IniFileNameFor(ExecutablePath), false};
  const std::string config = ConfigHome(Environment);
  if (config.empty()) return {};
  return {config + "/" + SettingsFolderName + "/" + SettingsFolderName + ".ini", true};
}

}  // namespace hexloader
