#include "ui/settings/settings_location.h"

#include <algorithm>

#include "ui/settings/reg_ini_file.h"

namespace hexloader {
namespace {

// The rule every platform shares: an installed program's file in the user's folder, any other's beside
// its executable.
TSettingsFile ChooseFile(const std::string& ExecutablePath, bool Installed, const std::string& UserFolder,
                         char Separator) {
  if (!Installed) return {IniFileNameFor(ExecutablePath), false};
  if (UserFolder.empty()) return {};
  const std::string separator(1, Separator);
  return {UserFolder + separator + SettingsFolderName + separator + SettingsFolderName + ".ini", true};
}

// The rule both platforms share: stay in a current folder the user may write that is not where
// programs are installed; otherwise go to the settings' folder, unless there is none or it is the
// current one (nowhere better to go).
std::string ChooseWorkingFolder(const std::string& CurrentFolder, bool CurrentInstalled,
                                const std::string& SettingsFolder, bool SettingsFolderIsCurrent,
                                const TFolderProbe& CanMakeFileIn) {
  if (SettingsFolder.empty() || SettingsFolderIsCurrent) return {};
  // A current folder the platform cannot name (removed while the program ran) cannot be written.
  if (!CurrentInstalled && !CurrentFolder.empty() && CanMakeFileIn(CurrentFolder)) return {};
  return SettingsFolder;
}

// --- Linux ---

bool IsAbsolute(const std::string& Path) { return !Path.empty() && Path.front() == '/'; }

std::string WithoutTrailingSlashes(std::string Path) {
  while (Path.size() > 1 && Path.back() == '/') Path.pop_back();
  return Path;
}

// The user's configuration folder by the XDG rules: $XDG_CONFIG_HOME when it is an absolute path
// (relative ones are to be ignored), otherwise ~/.config. A folder under /usr is never used: the
// program must not write there, whoever runs it.
std::string ConfigHome(const TPosixSettingsEnvironment& Environment) {
  if (IsAbsolute(Environment.XdgConfigHome) && !IsUnderUsr(Environment.XdgConfigHome))
    return WithoutTrailingSlashes(Environment.XdgConfigHome);
  if (IsAbsolute(Environment.Home)) {
    const std::string home = WithoutTrailingSlashes(Environment.Home);
    const std::string config = (home == "/" ? std::string() : home) + "/.config";
    if (!IsUnderUsr(config)) return config;
  }
  return {};
}

// --- Windows ---

bool IsWindowsSeparator(char c) { return c == '\\' || c == '/'; }

// Path as Windows compares it: "\" for "/", the "\\?\" prefix dropped, repeated separators (other than a
// UNC path's leading pair) and trailing ones removed, ASCII letters in lower case.
std::string ComparableWindowsPath(const std::string& Path) {
  std::string path = Path;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) path = "\\" + path.substr(7);
  else if (path.rfind("\\\\?\\", 0) == 0) path = path.substr(4);
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (c == '\\' && i > 1 && out.back() == '\\') continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  while (out.size() > 2 && out.back() == '\\') out.pop_back();
  return out;
}

// A drive path ("C:\...") or a UNC path ("\\server\share...").
bool IsFullWindowsPath(const std::string& Path) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (Path.size() >= 3 && letter(Path[0]) && Path[1] == ':' && IsWindowsSeparator(Path[2])) return true;
  return Path.size() >= 3 && IsWindowsSeparator(Path[0]) && IsWindowsSeparator(Path[1]) && !IsWindowsSeparator(Path[2]);
}

std::string WithoutTrailingSeparators(std::string Path) {
  while (Path.size() > 3 && IsWindowsSeparator(Path.back())) Path.pop_back();
  if (Path.size() == 3 && Path[1] == ':') Path.pop_back();  // "C:\" joins as "C:" + "\hexloader"
  return Path;
}

}  // namespace

bool IsUnderUsr(const std::string& Path) {
  // Repeated slashes name the same folder.
  std::string path;
  for (char c : Path)
    if (c != '/' || path.empty() || path.back() != '/') path += c;
  return path == "/usr" || path.rfind("/usr/", 0) == 0;
}

TSettingsFile SettingsFileFor(const std::string& ExecutablePath, const TPosixSettingsEnvironment& Environment) {
  return ChooseFile(ExecutablePath, IsUnderUsr(ExecutablePath), ConfigHome(Environment), '/');
}

std::string WorkingFolderForLinux(const std::string& CurrentFolder, const std::string& SettingsFile,
                                  const TFolderProbe& CanMakeFileIn) {
  const std::size_t slash = SettingsFile.rfind('/');
  // A settings file without a full path names no folder to go to.
  const std::string folder = !IsAbsolute(SettingsFile) ? std::string()
                             : slash == 0              ? std::string("/")
                                                       : SettingsFile.substr(0, slash);
  return ChooseWorkingFolder(CurrentFolder, IsUnderUsr(CurrentFolder), folder,
                             WithoutTrailingSlashes(folder) == WithoutTrailingSlashes(CurrentFolder), CanMakeFileIn);
}

bool IsUnderWindowsFolder(const std::string& Path, const std::string& Folder) {
  if (!IsFullWindowsPath(Folder)) return false;
  const std::string folder = ComparableWindowsPath(Folder);
  const std::string path = ComparableWindowsPath(Path);
  return path.rfind(folder, 0) == 0 && (path.size() == folder.size() || path[folder.size()] == '\\');
}

TSettingsFile SettingsFileFor(const std::string& ExecutablePath, const TWindowsSettingsEnvironment& Environment) {
  const auto underProgramFolder = [&](const std::string& Path) {
    return std::any_of(Environment.ProgramFolders.begin(), Environment.ProgramFolders.end(),
                       [&](const std::string& Folder) { return IsUnderWindowsFolder(Path, Folder); });
  };
  const bool installed = underProgramFolder(ExecutablePath) || !Environment.ExecutableFolderWritable;
  // An application-data folder that is no full path, or lies where programs are installed, is not used.
  const std::string appData = IsFullWindowsPath(Environment.AppData) && !underProgramFolder(Environment.AppData)
                                  ? WithoutTrailingSeparators(Environment.AppData)
                                  : std::string();
  return ChooseFile(ExecutablePath, installed, appData, '\\');
}

std::string WorkingFolderForWindows(const std::string& CurrentFolder, const std::string& SettingsFile,
                                    const std::vector<std::string>& ProgramFolders, const TFolderProbe& CanMakeFileIn) {
  const std::size_t slash = SettingsFile.find_last_of("\\/");
  std::string folder;
  if (IsFullWindowsPath(SettingsFile) && slash != std::string::npos) {
    folder = SettingsFile.substr(0, slash);
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';  // "C:\hexloader.ini" lies in "C:\"
  }
  const bool installed = std::any_of(ProgramFolders.begin(), ProgramFolders.end(), [&](const std::string& Folder) {
    return IsUnderWindowsFolder(CurrentFolder, Folder);
  });
  const bool same =
      !folder.empty() && IsUnderWindowsFolder(CurrentFolder, folder) && IsUnderWindowsFolder(folder, CurrentFolder);
  return ChooseWorkingFolder(CurrentFolder, installed, folder, same, CanMakeFileIn);
}

}  // namespace hexloader
