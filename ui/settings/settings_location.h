#pragma once
// Where the store's INI file lives when no Path is set. One rule on every platform: a program run from
// a build tree or a copied folder (a "portable" install) keeps its INI file beside its executable; an
// installed program may not write there, so it keeps hexloader.ini in a folder "hexloader" of the
// user's own configuration folder, made on the first write. Nothing is ever written where programs are
// installed. What counts as installed, and which folder is the user's, belong to the platform:
// - Linux: an executable under /usr; $XDG_CONFIG_HOME (default ~/.config).
// - Windows: an executable under a program-files folder (%ProgramFiles%, %ProgramFiles(x86)%) or in a
//   folder the user cannot write to; the roaming application-data folder (%APPDATA%).
// The rules are pure: the environment is passed in, so both platforms' rules are tested with made-up
// paths anywhere. settings_environment_<platform>.cpp reads the running user's environment.
#include <functional>
#include <string>
#include <vector>

namespace hexloader {

struct TSettingsFile {
  // Full path of the INI file; empty when an installed program finds no configuration folder of its
  // user: the settings then read as missing and every write fails.
  std::string Path;
  // True for the per-user file: its folder is made (private to the user) on the first write, never on
  // a read.
  bool CreateFolder = false;
};

// The folder of the per-user settings file, named after the program.
inline constexpr const char* SettingsFolderName = "hexloader";

// --- Linux ---

// What the Linux rules need to know about the running user's environment.
struct TPosixSettingsEnvironment {
  std::string XdgConfigHome;  // $XDG_CONFIG_HOME as set; empty when unset
  std::string Home;           // $HOME, or the account's home folder when $HOME is unset; may be empty
};

// True when Path is /usr or lies below it (whole path components only: /usrx is not under /usr).
bool IsUnderUsr(const std::string& Path);

// The INI file for the executable at ExecutablePath (a full path) by the Linux rules.
TSettingsFile SettingsFileFor(const std::string& ExecutablePath, const TPosixSettingsEnvironment& Environment);

// --- Windows ---

// What the Windows rules need to know about the system and the running user.
struct TWindowsSettingsEnvironment {
  // The folders programs are installed into (64-bit and 32-bit program files); empty entries are skipped.
  std::vector<std::string> ProgramFolders;
  // The user's roaming application-data folder; may be empty.
  std::string AppData;
  // False when no file can be made in the executable's folder (an administrator's folder, a read-only
  // medium). Only asked when the executable is not under a program folder.
  bool ExecutableFolderWritable = true;
};

// True when Path is Folder or lies below it, as Windows compares paths: letter case ignored (ASCII),
// "\" and "/" alike, repeated separators and a "\\?\" prefix not counted, whole components only.
// A Folder that is not a full path (drive or UNC) holds nothing.
bool IsUnderWindowsFolder(const std::string& Path, const std::string& Folder);

// The INI file for the executable at ExecutablePath (a full path) by the Windows rules.
TSettingsFile SettingsFileFor(const std::string& ExecutablePath, const TWindowsSettingsEnvironment& Environment);

// --- the folder the window writes its images into ---
//
// The window writes each image into its current folder. That folder must be one the user may write,
// and not where programs are installed (nothing is ever written there): when the current folder lies
// where programs are installed, or no file can be made in it, the window moves to the folder its
// settings live in (made if needed) before anything is written. It stays where it is when there is no
// settings folder, or when that folder is the current one. The command line never moves.

// Whether a file can be made in a folder: asked only of a current folder that is not where programs
// are installed.
using TFolderProbe = std::function<bool(const std::string& Folder)>;

// The folder to move to, or empty to stay, by the Linux rules (where programs are installed: /usr).
// CurrentFolder is a full path; SettingsFile the INI file in use (may be empty).
std::string WorkingFolderForLinux(const std::string& CurrentFolder, const std::string& SettingsFile,
                                  const TFolderProbe& CanMakeFileIn);

// The same by the Windows rules (where programs are installed: under one of ProgramFolders, as
// IsUnderWindowsFolder compares paths).
std::string WorkingFolderForWindows(const std::string& CurrentFolder, const std::string& SettingsFile,
                                    const std::vector<std::string>& ProgramFolders, const TFolderProbe& CanMakeFileIn);

// --- the running platform (settings_environment_<platform>.cpp) ---

// The INI file for the running program, whose executable is ExecutablePath, by its platform's rules
// and the running user's environment.
TSettingsFile CurrentSettingsFile(const std::string& ExecutablePath);

// The folder the window moves to before it writes anything (empty: it stays), for the running process,
// whose settings live in SettingsFile, by its platform's rules.
std::string CurrentWorkingFolderMove(const std::string& SettingsFile);

// How an error names the per-user file when there is none (no configuration folder was found):
// "$HOME/.config/hexloader/hexloader.ini" on Linux, "%APPDATA%\hexloader\hexloader.ini" on Windows.
std::string UserSettingsFileShownName();

// Linux only: the running user's environment.
TPosixSettingsEnvironment CurrentPosixSettingsEnvironment();
// Windows only: the system's and the running user's environment for the executable at ExecutablePath.
TWindowsSettingsEnvironment CurrentWindowsSettingsEnvironment(const std::string& ExecutablePath);

}  // namespace hexloader
