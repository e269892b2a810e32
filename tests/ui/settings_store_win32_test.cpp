// The settings store on Windows: real INI files in temporary folders, through the system's profile
// functions.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/exception_display.h"
#include "core/utf8_path.h"
#include "core/wide_text_win32.h"
#include "ui/settings/executable_path.h"
#include "ui/settings/ini_file.h"
#include "ui/settings/reg_ini_file.h"
#include "ui/settings/registry_ini_file.h"
#include "ui/settings/settings_errors.h"
#include "ui/settings/settings_location.h"

namespace hexloader {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    // A Cyrillic folder: the store's paths cross into the system as UTF-16.
    dir_ = fs::temp_directory_path() /
           PathFromUtf8("hexloader-настройки-" + std::to_string(::GetCurrentProcessId()) + "-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ini_ = dir_ / "hexloader.ini";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void WriteIni(const std::string& Text) { std::ofstream(ini_, std::ios::binary) << Text; }
  std::string IniPath() const { return Utf8FromPath(ini_); }
  std::unique_ptr<TRegIniFile> Store() {
    auto store = std::make_unique<TRegIniFile>();
    store->SetPath(IniPath());
    return store;
  }

  fs::path dir_;
  fs::path ini_;
};

TEST_F(SettingsStore, FirstRunHasNothingAndCreatesNothing) {
  auto store = Store();
  EXPECT_FALSE(store->HasSection("PortName"));
  EXPECT_FALSE(store->HasSection("FileName"));
  EXPECT_EQ(store->ReadValue("PortName", "Name", "COM1"), "COM1");
  EXPECT_EQ(store->ReadValue("FileName", "Name", ""), "");
  EXPECT_FALSE(fs::exists(ini_));
}

struct TSectionCase {
  const char* Label;
  const char* File;
  bool HasPortName;
  const char* PortNameValue;  // ReadValue("PortName", "Name", "COM1")
};
void PrintTo(const TSectionCase& c, std::ostream* os) { *os << c.Label; }

class SectionPresence : public SettingsStore, public ::testing::WithParamInterface<TSectionCase> {};

TEST_P(SectionPresence, AnswersAsTheFileSays) {
  WriteIni(GetParam().File);
  auto store = Store();
  EXPECT_EQ(store->HasSection("PortName"), GetParam().HasPortName);
  EXPECT_EQ(store->ReadValue("PortName", "Name", "COM1"), GetParam().PortNameValue);
}

// Files as an older loader or an operator's editor leaves them (8-bit text).
// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Files, SectionPresence,
    ::testing::Values(TSectionCase{"HeaderWithoutKeys", "[PortName]\r\n", false, "COM1"},
                      TSectionCase{"OnlyOtherKey", "[PortName]\r\nBaud=19200\r\n", true, "COM1"},
                      TSectionCase{"KeyPresent", "[PortName]\r\nName=COM3\r\n", true, "COM3"},
                      TSectionCase{"LetterCaseOfNamesIgnored", "[portname]\r\nNAME=COM4\r\n", true, "COM4"},
                      TSectionCase{"CommentOnly", "[PortName]\r\n;Name=COM4\r\n", false, "COM1"},
                      TSectionCase{"UnixLineEnds", "[PortName]\nName=COM10\n", true, "COM10"},
                      TSectionCase{"OtherSectionOnly", "[FileName]\r\nName=C:\\x.hex\r\n", false, "COM1"}),
    [](const ::testing::TestParamInfo<TSectionCase>& info) { return std::string(info.param.Label); });
// clang-format on

TEST_F(SettingsStore, CyrillicPathWrittenIsReadByNewInstance) {
  const std::string path = "C:\\Users\\оператор\\прошивки\\blink v2.hex";
  Store()->WriteValue("FileName", "Name", path);
  auto fresh = Store();
  EXPECT_TRUE(fresh->HasSection("FileName"));
  EXPECT_EQ(fresh->ReadValue("FileName", "Name", ""), path);
}

TEST_F(SettingsStore, NewFileIsUnicodeAndAnOldFileKeepsItsEncoding) {
  Store()->WriteValue("PortName", "Name", "COM3");
  EXPECT_EQ(ReadAll(ini_).substr(0, 2), "\xFF\xFE");

  WriteIni("; operator notes\r\n[PortName]\r\nName=COM3\r\n");
  Store()->WriteValue("PortName", "Name", "COM4");
  const std::string text = ReadAll(ini_);
  EXPECT_NE(text.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(text.find("; operator notes"), std::string::npos);
  EXPECT_NE(text.find("Name=COM4"), std::string::npos);
}

TEST_F(SettingsStore, LongValueReadsBackCutTo2047Characters) {
  Store()->WriteValue("FileName", "Name", std::string(3000, 'x'));
  EXPECT_EQ(Store()->ReadValue("FileName", "Name", ""), std::string(2047, 'x'));
}

TEST_F(SettingsStore, LineBreakInValueIsRefusedAndFileKept) {
  WriteIni("[PortName]\r\nName=COM3\r\n");
  EXPECT_THROW(Store()->WriteValue("FileName", "Name", "C:\\a.hex\r\n[PortName]\r\nName=evil"), EIniFileException);
  EXPECT_EQ(ReadAll(ini_), "[PortName]\r\nName=COM3\r\n");
}

struct TUnwritableCase {
  const char* Label;
  const char* Setup;  // "folder": the INI name is a folder; "missing": its folder does not exist
};
void PrintTo(const TUnwritableCase& c, std::ostream* os) { *os << c.Label; }
class Unwritable : public SettingsStore, public ::testing::WithParamInterface<TUnwritableCase> {};

TEST_P(Unwritable, RaisesWithFullPathAndDisplayAddsPeriod) {
  if (std::string(GetParam().Setup) == "folder") fs::create_directory(ini_);
  else ini_ = dir_ / "gone" / "hexloader.ini";
  try {
    Store()->WriteValue("PortName", "Name", "COM3");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + IniPath());
    EXPECT_EQ(ExceptionDisplayText(e.Message()), "Unable to write to " + IniPath() + ".");
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Places, Unwritable,
                         ::testing::Values(TUnwritableCase{"NameIsAFolder", "folder"},
                                           TUnwritableCase{"FolderMissing", "missing"}),
                         [](const auto& info) { return std::string(info.param.Label); });
// clang-format on

TEST_F(SettingsStore, PathChangeMovesToTheNewFile) {
  auto store = Store();
  store->WriteValue("PortName", "Name", "COM3");
  store->SetPathType(TPathType::ptIniFile);  // equal value: nothing to rebuild
  EXPECT_FALSE(store->ReopenNeeded());
  const fs::path other = dir_ / "other.ini";
  store->SetPath(Utf8FromPath(other));
  store->WriteValue("PortName", "Name", "COM4");
  EXPECT_EQ(store->IniFileName(), Utf8FromPath(other));
  EXPECT_EQ(Store()->ReadValue("PortName", "Name", ""), "COM3");
  store->SetPath(IniPath());
  EXPECT_EQ(store->ReadValue("PortName", "Name", ""), "COM3");
}

TEST_F(SettingsStore, DefaultFileLiesBesideTheExecutable) {
  TRegIniFile store;
  store.HasSection("PortName");
  const std::string exe = ExecutablePath();
  ASSERT_GE(exe.size(), 4u);
  EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
  EXPECT_EQ(store.IniFileName(), exe.substr(0, exe.size() - 4) + ".ini");
  EXPECT_TRUE(fs::exists(PathFromUtf8(exe)));
}

// Where the store keeps its file when no Path is set, by the system's own names for its folders.
std::string Variable(const wchar_t* Name) {
  const wchar_t* value = ::_wgetenv(Name);
  return value ? Utf8FromWide(value) : std::string();
}

TEST(CurrentSettingsFile, AProgramUnderEitherProgramFilesFolderUsesTheRoamingAppData) {
  const std::string appData = Variable(L"APPDATA");
  ASSERT_FALSE(appData.empty());
  for (const wchar_t* folder : {L"ProgramFiles", L"ProgramFiles(x86)"}) {
    const std::string programFiles = Variable(folder);
    ASSERT_FALSE(programFiles.empty());
    const TSettingsFile file = CurrentSettingsFile(programFiles + "\\hexloader\\hexloader.exe");
    EXPECT_EQ(file.Path, appData + "\\hexloader\\hexloader.ini") << programFiles;
    EXPECT_TRUE(file.CreateFolder);
  }
}

TEST(CurrentSettingsFile, AShortNameOfTheProgramFolderCountsAsThatFolder) {
  const std::wstring folder =
      WideFromUtf8(Variable(L"ProgramFiles")) + L"\\hexloader-test-" + std::to_wstring(::GetCurrentProcessId());
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring exe = folder + L"\\hexloader.exe";
  std::ofstream(fs::path(exe)) << "MZ";
  wchar_t shortName[MAX_PATH] = {};
  const DWORD n = ::GetShortPathNameW(exe.c_str(), shortName, MAX_PATH);
  const TSettingsFile file = CurrentSettingsFile(Utf8FromWide(std::wstring_view(shortName, n)));
  fs::remove_all(fs::path(folder));
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
  if (std::wstring_view(shortName, n) == exe) GTEST_SKIP() << "no short name for " << Utf8FromWide(exe);
  EXPECT_EQ(file.Path, Variable(L"APPDATA") + "\\hexloader\\hexloader.ini") << Utf8FromWide(shortName);
}

TEST_F(SettingsStore, APortableCopyKeepsItsFileBesideItAndTheTryLeavesNothing) {
  const std::string exe = Utf8FromPath(dir_ / "hexloader.exe");
  const TSettingsFile file = CurrentSettingsFile(exe);
  EXPECT_EQ(file.Path, Utf8FromPath(dir_ / "hexloader.ini"));
  EXPECT_FALSE(file.CreateFolder);
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST(CurrentSettingsFile, AFolderNobodyCanWriteToCountsAsInstalled) {
  // /proc through wine's drive for the root folder: not even root may make a file there.
  const TSettingsFile file = CurrentSettingsFile("Z:\\proc\\hexloader.exe");
  EXPECT_EQ(file.Path, Variable(L"APPDATA") + "\\hexloader\\hexloader.ini");
  EXPECT_TRUE(file.CreateFolder);
}

TEST_F(SettingsStore, ThePerUserFolderIsMadeOnTheFirstWriteOnly) {
  // A made-up user whose application data is this test's folder.
  const std::string appData = Utf8FromPath(dir_ / "Roaming");
  const TSettingsFile ini = SettingsFileFor("C:\\Program Files\\hexloader\\hexloader.exe",
                                            TWindowsSettingsEnvironment{{"C:\\Program Files"}, appData, true});
  ASSERT_EQ(ini.Path, appData + "\\hexloader\\hexloader.ini");
  {
    TIniFile file(ini.Path, ini.CreateFolder);
    EXPECT_TRUE(file.ReadSectionKeys("PortName").empty());
    EXPECT_EQ(file.ReadString("PortName", "Name", "COM1"), "COM1");
    EXPECT_FALSE(fs::exists(dir_ / "Roaming"));
    file.WriteString("FileName", "Name", "C:\\Прошивки\\fw.hex");
  }
  EXPECT_EQ(TIniFile(ini.Path).ReadString("FileName", "Name", ""), "C:\\Прошивки\\fw.hex");
}

TEST_F(SettingsStore, APerUserFolderThatCannotBeMadeRaisesWithThePath) {
  std::ofstream(dir_ / "Roaming") << "not a folder";
  const std::string path = Utf8FromPath(dir_ / "Roaming" / "hexloader" / "hexloader.ini");
  try {
    TIniFile(path, true).WriteString("PortName", "Name", "COM3");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + path);
  }
  try {
    TIniFile("", true).WriteString("PortName", "Name", "COM3");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to %APPDATA%\\hexloader\\hexloader.ini");
  }
}

struct TNameCase {
  const char* Label;
  const char* Executable;
  const char* Ini;
};
void PrintTo(const TNameCase& c, std::ostream* os) { *os << c.Label; }

class IniName : public ::testing::TestWithParam<TNameCase> {};

TEST_P(IniName, ReplacesOrAppendsExtension) { EXPECT_EQ(IniFileNameFor(GetParam().Executable), GetParam().Ini); }

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Paths, IniName,
    ::testing::Values(TNameCase{"WithExtension", "C:\\Tools\\loader.exe", "C:\\Tools\\loader.ini"},
                      TNameCase{"DotInFolderOnly", "C:\\Tools.old\\loader", "C:\\Tools.old\\loader.ini"},
                      TNameCase{"DotInDriveRelativeName", "C:loader", "C:loader.ini"},
                      TNameCase{"ForwardSlashes", "C:/Tools.old/loader", "C:/Tools.old/loader.ini"}),
    [](const ::testing::TestParamInfo<TNameCase>& info) { return std::string(info.param.Label); });
// clang-format on

// The ANSI code page's bytes for Text (which it must hold).
std::string AnsiBytes(const std::wstring& Text) {
  const int n =
      ::WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

// Settings files of the program this one replaces are ANSI (Windows-1251 on Russian systems). The
// folder names are ones the running system's ANSI code page holds: Cyrillic under 1251, Latin letters
// with accents under 1252 (wine's code page where no Russian locale is installed).
TEST_F(SettingsStore, AnAnsiFileStaysAnsiUntilAValueDoesNotFitThenTurnsUtf16WithEverythingKept) {
  const bool Russian = ::GetACP() == 1251;
  const std::wstring comment = Russian ? L"; комментарий" : L"; Kommentar für später";
  const std::wstring oldFolder = Russian ? L"Прошивки" : L"Prüfstand";
  const std::wstring newFolder = Russian ? L"Новые" : L"Größer";
  WriteIni(
      AnsiBytes(comment + L"\r\n[PortName]\r\nName=COM3\r\n[FileName]\r\nName=C:\\" + oldFolder + L"\\fw.hex\r\n"));
  EXPECT_EQ(Store()->ReadValue("FileName", "Name", ""), "C:\\" + Utf8FromWide(oldFolder) + "\\fw.hex");

  // A value the code page holds: the file stays ANSI, so that the old program still reads it.
  Store()->WriteValue("FileName", "Name", "C:\\" + Utf8FromWide(newFolder) + "\\fw.hex");
  std::string bytes = ReadAll(ini_);
  EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(bytes.find(AnsiBytes(L"Name=C:\\" + newFolder + L"\\fw.hex")), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find(AnsiBytes(comment)), 0u);

  // One it does not hold: the file turns UTF-16 with its byte order mark, nothing else lost.
  Store()->WriteValue("FileName", "Name", "C:\\ファームウェア\\fw.hex");
  bytes = ReadAll(ini_);
  ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::wstring wide(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  EXPECT_EQ(wide.find(comment + L"\r\n[PortName]\r\nName=COM3\r\n"), 0u) << Utf8FromWide(wide);
  EXPECT_NE(wide.find(L"Name=C:\\ファームウェア\\fw.hex"), std::wstring::npos);
  auto store = Store();
  EXPECT_EQ(store->ReadValue("FileName", "Name", ""), "C:\\ファームウェア\\fw.hex");
  EXPECT_EQ(store->ReadValue("PortName", "Name", ""), "COM3");
  EXPECT_FALSE(fs::exists(dir_ / "hexloader.ini.new"));
}

// Registry mode against wine's registry, under a key of this test's own below HKEY_CURRENT_USER.
class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "\\Software\\Temp\\hexloader-тест-" + std::to_string(::GetCurrentProcessId());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, WideFromUtf8(path_.substr(1)).c_str());
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, WideFromUtf8(path_.substr(1)).c_str()); }
  std::unique_ptr<TRegIniFile> Store() {
    auto store = std::make_unique<TRegIniFile>();
    store->SetPathType(TPathType::ptRegistry);
    store->SetPath(path_);
    return store;
  }
  // A value of another type, set straight through the registry.
  void SetDword(const std::string& Section, const std::string& Name, DWORD Value) {
    const std::wstring key = WideFromUtf8(path_.substr(1) + "\\" + Section);
    ASSERT_EQ(
        ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), WideFromUtf8(Name).c_str(), REG_DWORD, &Value, sizeof Value),
        ERROR_SUCCESS);
  }

  std::string path_;
};

TEST_F(RegistryStore, WrittenValuesReadBackAndListInANewStore) {
  EXPECT_FALSE(Store()->HasSection("FileName"));
  EXPECT_EQ(Store()->ReadValue("PortName", "Name", "COM1"), "COM1");  // missing key: the default
  Store()->WriteValue("FileName", "Name", "C:\\Прошивки\\счётчик.hex");
  Store()->WriteValue("FileName", "Other", "");
  auto store = Store();
  EXPECT_TRUE(store->HasSection("FileName"));
  EXPECT_FALSE(store->HasSection("PortName"));
  EXPECT_EQ(store->ReadValue("FileName", "Name", ""), "C:\\Прошивки\\счётчик.hex");
  EXPECT_EQ(store->ReadValue("FileName", "Other", "x"), "");
  EXPECT_EQ(store->ReadValue("FileName", "Missing", "default"), "default");
  // Stored as REG_SZ with its terminating zero.
  wchar_t data[64] = {};
  DWORD type = 0;
  DWORD size = sizeof data;
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, WideFromUtf8(path_.substr(1) + "\\FileName").c_str(), L"Name",
                           RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, (std::wcslen(L"C:\\Прошивки\\счётчик.hex") + 1) * sizeof(wchar_t));
}

TEST_F(RegistryStore, AValueOfAnotherTypeRaisesWithItsName) {
  Store()->WriteValue("PortName", "Name", "COM3");
  SetDword("PortName", "Baud", 19200);
  auto store = Store();
  EXPECT_EQ(store->ReadValue("PortName", "Name", ""), "COM3");
  try {
    store->ReadValue("PortName", "Baud", "");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Baud'");
  }
}

TEST_F(RegistryStore, ASectionOpenedForReadingOnlyRefusesWritesWithTheValueName) {
  Store()->WriteValue("PortName", "Name", "COM3");
  auto store = Store();
  store->SetRegAccess({TRegAccessKey::keyRead});
  EXPECT_EQ(store->ReadValue("PortName", "Name", ""), "COM3");
  try {
    store->WriteValue("PortName", "Name", "COM4");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Name'");
  }
  EXPECT_EQ(Store()->ReadValue("PortName", "Name", ""), "COM3");
}

TEST(RegistryAccess, MembersMapOntoTheWin32Rights) {
  EXPECT_EQ(RegistryAccessMask({TRegAccessKey::keyAllAccess}), static_cast<std::uint32_t>(KEY_ALL_ACCESS));
  EXPECT_EQ(RegistryAccessMask({TRegAccessKey::keyRead}), static_cast<std::uint32_t>(KEY_READ));
  EXPECT_EQ(RegistryAccessMask({TRegAccessKey::keyQueryValue, TRegAccessKey::keySetValue}), 0x3u);
  EXPECT_EQ(RegistryAccessMask({TRegAccessKey::keyWrite, TRegAccessKey::keyExecute}),
            static_cast<std::uint32_t>(KEY_WRITE | KEY_EXECUTE));
}

}  // namespace
}  // namespace hexloader
