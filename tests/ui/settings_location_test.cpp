// Where the settings file lives: the Linux and the Windows rules on made-up executables and
// environments, the per-user folder made on the first write only, and the environment as the running
// process sees it. (The Windows environment and files are tested under wine.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "ui/settings/ini_file.h"
#include "ui/settings/settings_errors.h"
#include "ui/settings/settings_location.h"

namespace hexloader {
namespace {

namespace fs = std::filesystem;

struct TLocationCase {
  const char* Label;
  const char* Executable;
  const char* XdgConfigHome;
  const char* Home;
  const char* Expected;  // empty: no place to keep the settings
  bool CreateFolder;
};
void PrintTo(const TLocationCase& c, std::ostream* os) { *os << c.Label; }

class SettingsLocation : public ::testing::TestWithParam<TLocationCase> {};

TEST_P(SettingsLocation, NamesTheFile) {
  const TLocationCase& c = GetParam();
  const TSettingsFile file = SettingsFileFor(c.Executable, TPosixSettingsEnvironment{c.XdgConfigHome, c.Home});
  EXPECT_EQ(file.Path, c.Expected);
  EXPECT_EQ(file.CreateFolder, c.CreateFolder);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rules, SettingsLocation,
    ::testing::Values(
        // Build trees and copied folders keep the file beside the program, whatever the environment says.
        TLocationCase{"BuildTreeBesideExecutable", "/work/hexloader/build/bin/hexloader", "/home/op/.cfg", "/home/op",
                      "/work/hexloader/build/bin/hexloader.ini", false},
        TLocationCase{"PortableCopyBesideExecutable", "/home/op/tools/hexloader/hexloader", "", "/home/op",
                      "/home/op/tools/hexloader/hexloader.ini", false},
        TLocationCase{"OptIsNotUsr", "/opt/hexloader/hexloader", "", "/home/op", "/opt/hexloader/hexloader.ini", false},
        TLocationCase{"FolderNamedLikeUsrIsNotUsr", "/usrx/bin/hexloader", "", "/home/op", "/usrx/bin/hexloader.ini",
                      false},
        TLocationCase{"HomeBelowUsrNamedFolderIsBeside", "/home/op/usr/bin/hexloader", "", "/home/op",
                      "/home/op/usr/bin/hexloader.ini", false},
        // Installed programs keep it in the user's configuration folder.
        TLocationCase{"InstalledUsesDotConfig", "/usr/bin/hexloader", "", "/home/op",
                      "/home/op/.config/hexloader/hexloader.ini", true},
        TLocationCase{"LocalInstallCounts", "/usr/local/bin/hexloader", "", "/home/op",
                      "/home/op/.config/hexloader/hexloader.ini", true},
        TLocationCase{"DoubledSlashStillUsr", "//usr//bin/hexloader", "", "/home/op",
                      "/home/op/.config/hexloader/hexloader.ini", true},
        TLocationCase{"XdgConfigHomeHonoured", "/usr/bin/hexloader", "/srv/op-config", "/home/op",
                      "/srv/op-config/hexloader/hexloader.ini", true},
        TLocationCase{"XdgTrailingSlashDropped", "/usr/bin/hexloader", "/srv/op-config/", "/home/op",
                      "/srv/op-config/hexloader/hexloader.ini", true},
        TLocationCase{"RelativeXdgIgnored", "/usr/bin/hexloader", "cfg", "/home/op",
                      "/home/op/.config/hexloader/hexloader.ini", true},
        TLocationCase{"XdgUnderUsrIgnored", "/usr/bin/hexloader", "/usr/share/cfg", "/root",
                      "/root/.config/hexloader/hexloader.ini", true},
        TLocationCase{"RootHomeIsSlash", "/usr/bin/hexloader", "", "/", "/.config/hexloader/hexloader.ini", true},
        // Nowhere outside /usr to write: no file at all rather than one beside the program.
        TLocationCase{"NoHomeNoXdg", "/usr/bin/hexloader", "", "", "", false},
        TLocationCase{"RelativeHome", "/usr/bin/hexloader", "", "op", "", false},
        TLocationCase{"HomeUnderUsr", "/usr/bin/hexloader", "", "/usr/lib/hexloader", "", false}),
    [](const ::testing::TestParamInfo<TLocationCase>& info) { return std::string(info.param.Label); });
// clang-format on

// The Windows rules, with the program folders as a 64-bit system names them (and entries that must not
// count: an unset variable, a relative name).
const std::vector<std::string> kProgramFolders = {"C:\\Program Files", "C:\\Program Files (x86)", "", "Program Files",
                                                  "C:\\Program Files\\"};
constexpr const char* kAppData = "C:\\Users\\op\\AppData\\Roaming";
constexpr const char* kRoamingIni = "C:\\Users\\op\\AppData\\Roaming\\hexloader\\hexloader.ini";

struct TWindowsLocationCase {
  const char* Label;
  const char* Executable;
  bool FolderWritable;
  const char* AppData;
  const char* Expected;  // empty: no place to keep the settings
  bool CreateFolder;
};
void PrintTo(const TWindowsLocationCase& c, std::ostream* os) { *os << c.Label; }

class WindowsSettingsLocation : public ::testing::TestWithParam<TWindowsLocationCase> {};

TEST_P(WindowsSettingsLocation, NamesTheFile) {
  const TWindowsLocationCase& c = GetParam();
  const TSettingsFile file =
      SettingsFileFor(c.Executable, TWindowsSettingsEnvironment{kProgramFolders, c.AppData, c.FolderWritable});
  EXPECT_EQ(file.Path, c.Expected);
  EXPECT_EQ(file.CreateFolder, c.CreateFolder);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rules, WindowsSettingsLocation,
    ::testing::Values(
        // Unpacked where the user may write (the portable zip): beside the program.
        TWindowsLocationCase{"PortableOnDesktop", "C:\\Users\\op\\Desktop\\hexloader\\hexloader.exe", true, kAppData,
                             "C:\\Users\\op\\Desktop\\hexloader\\hexloader.ini", false},
        TWindowsLocationCase{"PortableOnStick", "E:\\hexloader\\hexloader.exe", true, kAppData, "E:\\hexloader\\hexloader.ini",
                             false},
        TWindowsLocationCase{"FolderNamedLikeProgramFilesIsNot", "C:\\Program Files Tools\\hexloader.exe", true, kAppData,
                             "C:\\Program Files Tools\\hexloader.ini", false},
        TWindowsLocationCase{"ProgramFilesOnAnotherDriveIsNot", "D:\\Program Files\\hexloader\\hexloader.exe", true,
                             kAppData, "D:\\Program Files\\hexloader\\hexloader.ini", false},
        // Installed by the setup: the user's roaming application data, never the installation folder.
        TWindowsLocationCase{"Installed", "C:\\Program Files\\hexloader\\hexloader.exe", true, kAppData, kRoamingIni, true},
        TWindowsLocationCase{"Installed32Bit", "C:\\Program Files (x86)\\hexloader\\hexloader.exe", true, kAppData,
                             kRoamingIni, true},
        TWindowsLocationCase{"LetterCaseIgnored", "c:\\PROGRAM FILES\\hexloader\\hexloader.exe", true, kAppData,
                             kRoamingIni, true},
        TWindowsLocationCase{"ForwardSlashes", "C:/Program Files/hexloader/hexloader.exe", true, kAppData, kRoamingIni,
                             true},
        TWindowsLocationCase{"DoubledSeparators", "C:\\Program Files\\\\hexloader\\hexloader.exe", true, kAppData,
                             kRoamingIni, true},
        TWindowsLocationCase{"LongPathPrefix", "\\\\?\\C:\\Program Files\\hexloader\\hexloader.exe", true, kAppData,
                             kRoamingIni, true},
        // Elsewhere, in a folder the user cannot write to: treated as installed.
        TWindowsLocationCase{"UnwritableFolder", "C:\\Tools\\hexloader\\hexloader.exe", false, kAppData, kRoamingIni, true},
        TWindowsLocationCase{"ReadOnlyShare", "\\\\server\\tools\\hexloader.exe", false, kAppData, kRoamingIni, true},
        // The application-data folder as the system may name it.
        TWindowsLocationCase{"AppDataTrailingSeparatorDropped", "C:\\Program Files\\hexloader\\hexloader.exe", true,
                             "C:\\Users\\op\\AppData\\Roaming\\", kRoamingIni, true},
        TWindowsLocationCase{"AppDataRedirectedToAShare", "C:\\Program Files\\hexloader\\hexloader.exe", true,
                             "\\\\fs\\profiles\\op\\AppData\\Roaming",
                             "\\\\fs\\profiles\\op\\AppData\\Roaming\\hexloader\\hexloader.ini", true},
        // Nowhere the user may write but the installation folder: no file at all rather than one there.
        TWindowsLocationCase{"NoAppData", "C:\\Program Files\\hexloader\\hexloader.exe", true, "", "", false},
        TWindowsLocationCase{"RelativeAppData", "C:\\Program Files\\hexloader\\hexloader.exe", true, "AppData\\Roaming", "",
                             false},
        TWindowsLocationCase{"AppDataUnderProgramFiles", "C:\\Program Files\\hexloader\\hexloader.exe", true,
                             "C:\\Program Files\\hexloader\\data", "", false}),
    [](const ::testing::TestParamInfo<TWindowsLocationCase>& info) { return std::string(info.param.Label); });
// clang-format on

// The folder the window writes its images into: a made-up set of folders the user may write stands in
// for the probe, which must not be asked where programs are installed.
struct TWorkingFolderCase {
  const char* Label;
  const char* Current;
  const char* SettingsFile;
  bool CurrentWritable;
  const char* Expected;  // empty: the window stays
  bool Probed;           // the current folder was tried
};
void PrintTo(const TWorkingFolderCase& c, std::ostream* os) { *os << c.Label; }

class WorkingFolder : public ::testing::TestWithParam<TWorkingFolderCase> {
 protected:
  TFolderProbe Probe() {
    return [this](const std::string& Folder) {
      Asked.push_back(Folder);
      return GetParam().CurrentWritable;
    };
  }
  void Check(const std::string& Moved) {
    const TWorkingFolderCase& c = GetParam();
    EXPECT_EQ(Moved, c.Expected);
    EXPECT_EQ(Asked, c.Probed ? std::vector<std::string>{c.Current} : std::vector<std::string>{});
  }
  std::vector<std::string> Asked;
};

class LinuxWorkingFolder : public WorkingFolder {};
TEST_P(LinuxWorkingFolder, StaysOrMovesToTheSettingsFolder) {
  Check(WorkingFolderForLinux(GetParam().Current, GetParam().SettingsFile, Probe()));
}

constexpr const char* kUserIni = "/home/op/.config/hexloader/hexloader.ini";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rules, LinuxWorkingFolder,
    ::testing::Values(
        // Where the user may write (the menu starts the window in the home folder): it stays.
        TWorkingFolderCase{"HomeStays", "/home/op", kUserIni, true, "", true},
        TWorkingFolderCase{"BuildTreeStays", "/work/hexloader", "/work/hexloader/build/bin/hexloader.ini", true, "", true},
        TWorkingFolderCase{"FolderNamedLikeUsrStays", "/usrx/data", kUserIni, true, "", true},
        // Where programs are installed, even where root may write: to the settings, untried.
        TWorkingFolderCase{"UsrMoves", "/usr", kUserIni, true, "/home/op/.config/hexloader", false},
        TWorkingFolderCase{"SampleFolderMoves", "/usr/share/doc/hexloader/examples", kUserIni, true,
                           "/home/op/.config/hexloader", false},
        TWorkingFolderCase{"DoubledSlashStillUsr", "//usr//bin", kUserIni, true, "/home/op/.config/hexloader", false},
        // A folder the user cannot write (the root folder, a read-only medium): to the settings.
        TWorkingFolderCase{"UnwritableMoves", "/", kUserIni, false, "/home/op/.config/hexloader", true},
        TWorkingFolderCase{"UnwritableBuildTreeGoesBesideTheProgram", "/media/cdrom", "/home/op/hexloader/hexloader.ini",
                           false, "/home/op/hexloader", true},
        TWorkingFolderCase{"CurrentFolderUnknownMoves", "", kUserIni, false, "/home/op/.config/hexloader", false},
        TWorkingFolderCase{"SettingsAtTheRoot", "/usr/bin", "/hexloader.ini", true, "/", false},
        // Nowhere better to go: it stays.
        TWorkingFolderCase{"NoSettingsFolder", "/usr/bin", "", true, "", false},
        TWorkingFolderCase{"RelativeSettingsFile", "/usr/bin", "hexloader.ini", true, "", false},
        TWorkingFolderCase{"AlreadyInTheSettingsFolder", "/home/op/.config/hexloader/", kUserIni, false, "", false}),
    [](const ::testing::TestParamInfo<TWorkingFolderCase>& info) { return std::string(info.param.Label); });
// clang-format on

class WindowsWorkingFolder : public WorkingFolder {};
TEST_P(WindowsWorkingFolder, StaysOrMovesToTheSettingsFolder) {
  Check(WorkingFolderForWindows(GetParam().Current, GetParam().SettingsFile, kProgramFolders, Probe()));
}

constexpr const char* kRoamingFolder = "C:\\Users\\op\\AppData\\Roaming\\hexloader";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rules, WindowsWorkingFolder,
    ::testing::Values(
        // The Start-menu shortcut starts it in the profile folder; the zip unpacked on a stick.
        TWorkingFolderCase{"ProfileStays", "C:\\Users\\op", kRoamingIni, true, "", true},
        TWorkingFolderCase{"PortableStays", "E:\\hexloader", "E:\\hexloader\\hexloader.ini", true, "", false},
        TWorkingFolderCase{"ProgramFilesOnAnotherDriveStays", "D:\\Program Files\\x", kRoamingIni, true, "", true},
        // Started from its installation folder (Explorer, a command prompt there): to the settings, untried.
        TWorkingFolderCase{"InstallationFolderMoves", "C:\\Program Files\\hexloader", kRoamingIni, true, kRoamingFolder,
                           false},
        TWorkingFolderCase{"ItsSamplesMove", "c:\\PROGRAM FILES\\hexloader\\samples", kRoamingIni, true, kRoamingFolder,
                           false},
        TWorkingFolderCase{"Other32BitProgramMoves", "C:/Program Files (x86)/Other", kRoamingIni, true, kRoamingFolder,
                           false},
        // A folder the user cannot write: to the settings, beside the program or in the roaming folder.
        TWorkingFolderCase{"System32Moves", "C:\\Windows\\System32", kRoamingIni, false, kRoamingFolder, true},
        TWorkingFolderCase{"ReadOnlyStickMoves", "E:\\hexloader", kRoamingIni, false, kRoamingFolder, true},
        TWorkingFolderCase{"PortableFromSystem32GoesBesideIt", "C:\\Windows\\System32", "D:\\Tools\\hexloader.ini", false,
                           "D:\\Tools", true},
        TWorkingFolderCase{"SettingsAtADriveRoot", "C:\\Program Files\\hexloader", "D:\\hexloader.ini", true, "D:\\",
                           false},
        // Nowhere better to go: it stays.
        TWorkingFolderCase{"NoSettingsFolder", "C:\\Program Files\\hexloader", "", true, "", false},
        TWorkingFolderCase{"RelativeSettingsFile", "C:\\Program Files\\hexloader", "hexloader.ini", true, "", false},
        TWorkingFolderCase{"AlreadyInTheSettingsFolder", "c:\\users\\OP\\AppData\\Roaming\\hexloader\\", kRoamingIni,
                           false, "", false}),
    [](const ::testing::TestParamInfo<TWorkingFolderCase>& info) { return std::string(info.param.Label); });
// clang-format on

class PerUserFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("hexloader-location-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ini_ = SettingsFileFor("/usr/bin/hexloader", TPosixSettingsEnvironment{(dir_ / "config").string(), "/nonexistent"});
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  TSettingsFile ini_;
};

TEST_F(PerUserFile, ReadsCreateNothingFirstWriteMakesPrivateFolder) {
  {
    TIniFile file(ini_.Path, ini_.CreateFolder);
    EXPECT_TRUE(file.ReadSectionKeys("PortName").empty());
    EXPECT_EQ(file.ReadString("PortName", "Name", "COM1"), "COM1");
    EXPECT_FALSE(fs::exists(dir_ / "config"));
    file.WriteString("PortName", "Name", "ttyUSB0");
  }
  const fs::path folder = dir_ / "config" / "hexloader";
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(fs::status(dir_ / "config").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(TIniFile(ini_.Path).ReadString("PortName", "Name", "COM1"), "ttyUSB0");
}

TEST_F(PerUserFile, ExistingFolderKeepsItsMode) {
  const fs::path folder = dir_ / "config" / "hexloader";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  TIniFile(ini_.Path, true).WriteString("FileName", "Name", "/a.hex");
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_EQ(TIniFile(ini_.Path).ReadString("FileName", "Name", ""), "/a.hex");
}

TEST_F(PerUserFile, FolderThatCannotBeMadeRaisesWithThePath) {
  // A plain file where the configuration folder should be: nobody, root included, can make it.
  std::ofstream(dir_ / "config") << "not a folder";
  try {
    TIniFile(ini_.Path, true).WriteString("PortName", "Name", "ttyUSB0");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + ini_.Path);
  }
}

TEST_F(PerUserFile, ConfigFolderAsLinkToFolderIsUsed) {
  fs::create_directories(dir_ / "elsewhere");
  fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "config");
  TIniFile(ini_.Path, true).WriteString("PortName", "Name", "ttyS0");
  EXPECT_TRUE(fs::exists(dir_ / "elsewhere" / "hexloader" / "hexloader.ini"));
}

TEST(NoSettingsFolder, ReadsDefaultsAndWriteNamesWhatIsMissing) {
  TIniFile file("", true);
  EXPECT_TRUE(file.ReadSectionKeys("PortName").empty());
  EXPECT_EQ(file.ReadString("PortName", "Name", "COM1"), "COM1");
  try {
    file.WriteString("PortName", "Name", "ttyUSB0");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to $HOME/.config/hexloader/hexloader.ini");
  }
}

// Sets or unsets one variable for the life of the object.
class TScopedVariable {
 public:
  TScopedVariable(const char* Name, const char* Value) : Name_(Name) {
    if (const char* old = std::getenv(Name)) Old_ = old;
    if (Value) ::setenv(Name, Value, 1);
    else ::unsetenv(Name);
  }
  ~TScopedVariable() {
    if (Old_) ::setenv(Name_, Old_->c_str(), 1);
    else ::unsetenv(Name_);
  }

 private:
  const char* Name_;
  std::optional<std::string> Old_;
};

TEST(CurrentEnvironment, ReadsXdgAndHome) {
  TScopedVariable xdg("XDG_CONFIG_HOME", "/srv/cfg");
  TScopedVariable home("HOME", "/home/someone");
  const TPosixSettingsEnvironment environment = CurrentPosixSettingsEnvironment();
  EXPECT_EQ(environment.XdgConfigHome, "/srv/cfg");
  EXPECT_EQ(environment.Home, "/home/someone");
}

TEST(CurrentEnvironment, UnsetHomeFallsBackToTheAccount) {
  TScopedVariable xdg("XDG_CONFIG_HOME", nullptr);
  TScopedVariable home("HOME", nullptr);
  const TPosixSettingsEnvironment environment = CurrentPosixSettingsEnvironment();
  EXPECT_EQ(environment.XdgConfigHome, "");
  EXPECT_TRUE(!environment.Home.empty() && environment.Home.front() == '/') << environment.Home;
}

}  // namespace
}  // namespace hexloader
