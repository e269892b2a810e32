// The settings rules' view of the running user on Linux: the XDG variable, and the home folder from
// $HOME or, when that is unset (services, su without -l), from the account database.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "ui/settings/folder_access.h"
#include "ui/settings/settings_location.h"

namespace hexloader {
namespace {

std::string AccountHome() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
    return {};
  return found->pw_dir;
}

}  // namespace

TPosixSettingsEnvironment CurrentPosixSettingsEnvironment() {
  TPosixSettingsEnvironment environment;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) environment.XdgConfigHome = xdg;
  const char* home = std::getenv("HOME");
  environment.Home = (home && *home) ? std::string(home) : AccountHome();
  return environment;
}

TSettingsFile CurrentSettingsFile(const std::string& ExecutablePath) {
  return SettingsFileFor(ExecutablePath, CurrentPosixSettingsEnvironment());
}

std::string CurrentWorkingFolderMove(const std::string& SettingsFile) {
  return WorkingFolderForLinux(CurrentFolder(), SettingsFile, CanMakeFileIn);
}

std::string UserSettingsFileShownName() { return "$HOME/.config/hexloader/hexloader.ini"; }

}  // namespace hexloader
