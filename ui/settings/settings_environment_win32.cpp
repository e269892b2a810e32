// The settings rules' view of Windows: the program-files folders and the user's roaming application-data
// folder, as the system's known folders name them, and whether a file can be made beside the executable.
#include <windows.h>
// <windows.h> first: the shell's headers build on it.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "core/wide_text_win32.h"
#include "ui/settings/folder_access.h"
#include "ui/settings/settings_location.h"

namespace hexloader {
namespace {

std::string KnownFolder(REFKNOWNFOLDERID Id) {
  PWSTR path = nullptr;
  std::string folder;
  // KF_FLAG_DONT_VERIFY: the name alone is wanted, the folder is neither checked nor made.
  if (SUCCEEDED(::SHGetKnownFolderPath(Id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path) folder = Utf8FromWide(path);
  ::CoTaskMemFree(path);
  return folder;
}

std::string Variable(const wchar_t* Name) {
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetEnvironmentVariableW(Name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) return Utf8FromWide(std::wstring_view(value.data(), n));
    value.resize(n);
  }
}

// The path with its short (8.3) components, if any, written out, so that "C:\PROGRA~1\..." is seen
// as lying under "C:\Program Files"; the path as it is when the system cannot tell.
std::string LongPath(const std::string& Path) {
  const std::wstring path = WideFromUtf8(Path);
  const DWORD n = ::GetLongPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return Path;
  std::wstring longPath(n, L'\0');
  const DWORD written = ::GetLongPathNameW(path.c_str(), longPath.data(), n);
  if (written == 0 || written >= n) return Path;
  return Utf8FromWide(std::wstring_view(longPath.data(), written));
}

// The folders programs are installed into. The known folders are the system's own answer; the
// variables are what the user and the installers see, and may have been set otherwise for this
// process: every one of them counts.
std::vector<std::string> ProgramFolders() {
  std::vector<std::string> folders;
  for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64})
    folders.push_back(KnownFolder(*id));
  for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"})
    folders.push_back(Variable(name));
  return folders;
}

}  // namespace

TWindowsSettingsEnvironment CurrentWindowsSettingsEnvironment(const std::string& ExecutablePath) {
  TWindowsSettingsEnvironment environment;
  environment.ProgramFolders = ProgramFolders();
  environment.AppData = KnownFolder(FOLDERID_RoamingAppData);

  // Nothing is tried where programs are installed.
  bool underProgramFolder = false;
  for (const std::string& folder : environment.ProgramFolders)
    underProgramFolder = underProgramFolder || IsUnderWindowsFolder(ExecutablePath, folder);
  const std::size_t slash = ExecutablePath.find_last_of("\\/");
  if (!underProgramFolder && slash != std::string::npos)
    environment.ExecutableFolderWritable = CanMakeFileIn(ExecutablePath.substr(0, slash));
  return environment;
}

TSettingsFile CurrentSettingsFile(const std::string& ExecutablePath) {
  const std::string executable = LongPath(ExecutablePath);
  return SettingsFileFor(executable, CurrentWindowsSettingsEnvironment(executable));
}

std::string CurrentWorkingFolderMove(const std::string& SettingsFile) {
  return WorkingFolderForWindows(LongPath(CurrentFolder()), SettingsFile, ProgramFolders(), CanMakeFileIn);
}

std::string UserSettingsFileShownName() { return "%APPDATA%\\hexloader\\hexloader.ini"; }

}  // namespace hexloader
