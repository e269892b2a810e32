// The settings store on real files in temporary folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/exception_display.h"
#include "tests/serial/ordinary_user.h"
#include "ui/settings/executable_path.h"
#include "ui/settings/reg_ini_file.h"
#include "ui/settings/settings_errors.h"

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
    dir_ = fs::temp_directory_path() / ("hexloader-settings-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ini_ = dir_ / "hexloader.ini";
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  void WriteIni(const std::string& Text) { std::ofstream(ini_, std::ios::binary) << Text; }
  std::unique_ptr<TRegIniFile> Store() {
    auto store = std::make_unique<TRegIniFile>();
    store->SetPath(ini_.string());
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

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Files, SectionPresence,
    ::testing::Values(
        TSectionCase{"HeaderWithoutKeys", "[PortName]\n", false, "COM1"},
        TSectionCase{"OnlyOtherKey", "[PortName]\nBaud=19200\n", true, "COM1"},
        TSectionCase{"KeyPresent", "[PortName]\nName=ttyUSB0\n", true, "ttyUSB0"},
        TSectionCase{"LetterCaseOfNamesIgnored", "[portname]\nNAME=ttyS1\n", true, "ttyS1"},
        TSectionCase{"CommentOnly", "[PortName]\n;Name=ttyS1\n", false, "COM1"},
        TSectionCase{"WindowsLineEnds", "[PortName]\r\nName=ttyACM0\r\n", true, "ttyACM0"},
        TSectionCase{"OtherSectionOnly", "[FileName]\nName=/x.hex\n", false, "COM1"}),
    [](const ::testing::TestParamInfo<TSectionCase>& info) { return std::string(info.param.Label); });
// clang-format on

TEST_F(SettingsStore, WrittenValueReadByNewInstance) {
  const std::string path = "/home/operator/прошивки/blink v2.hex";
  Store()->WriteValue("FileName", "Name", path);
  auto fresh = Store();
  EXPECT_TRUE(fresh->HasSection("FileName"));
  EXPECT_EQ(fresh->ReadValue("FileName", "Name", ""), path);
}

TEST_F(SettingsStore, WriteKeepsCommentsAndOtherSections) {
  WriteIni("; operator notes\n[Other]\nKey=1\n\n[PortName]\nName=ttyS0\n");
  Store()->WriteValue("PortName", "Name", "ttyUSB1");
  Store()->WriteValue("FileName", "Name", "/a.hex");
  EXPECT_EQ(ReadAll(ini_), "; operator notes\n[Other]\nKey=1\n\n[PortName]\nName=ttyUSB1\n[FileName]\nName=/a.hex\n");
}

TEST_F(SettingsStore, SymbolicLinkToTheFileStaysALink) {
  const fs::path real = dir_ / "real.ini";
  std::ofstream(real) << "[PortName]\nName=ttyS0\n";
  fs::create_symlink(real, ini_);
  Store()->WriteValue("PortName", "Name", "ttyUSB0");
  EXPECT_TRUE(fs::is_symlink(ini_));
  EXPECT_EQ(ReadAll(real), "[PortName]\nName=ttyUSB0\n");
}

TEST_F(SettingsStore, LongValueReadsBackCutTo2047Characters) {
  const std::string value(3000, 'x');
  Store()->WriteValue("FileName", "Name", value);
  EXPECT_EQ(Store()->ReadValue("FileName", "Name", ""), std::string(2047, 'x'));
}

TEST_F(SettingsStore, LineBreakInValueIsRefusedAndFileKept) {
  WriteIni("[PortName]\nName=ttyS0\n");
  auto store = Store();
  EXPECT_THROW(store->WriteValue("FileName", "Name", "/a.hex\n[PortName]\nName=evil"), EIniFileException);
  EXPECT_EQ(ReadAll(ini_), "[PortName]\nName=ttyS0\n");
}

TEST_F(SettingsStore, UnwritableFolderRaisesWithFullPathAndDisplayAddsPeriod) {
  // Root writes into read-only folders; /proc refuses new files to everyone.
  if (::geteuid() == 0) ini_ = "/proc/hexloader.ini";
  else fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  auto store = Store();
  try {
    store->WriteValue("PortName", "Name", "ttyUSB0");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + ini_.string());
    EXPECT_EQ(ExceptionDisplayText(e.Message()), "Unable to write to " + ini_.string() + ".");
  }
  EXPECT_FALSE(fs::exists(ini_));
}

TEST_F(SettingsStore, MissingFolderRaises) {
  ini_ = dir_ / "gone" / "hexloader.ini";
  EXPECT_THROW(Store()->WriteValue("PortName", "Name", "ttyUSB0"), EIniFileException);
}

TEST_F(SettingsStore, WritableFileInReadOnlyFolderIsUpdated) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  WriteIni("[PortName]\nName=ttyS0\n");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  Store()->WriteValue("PortName", "Name", "ttyUSB0");
  EXPECT_EQ(Store()->ReadValue("PortName", "Name", "COM1"), "ttyUSB0");
}

// Writes the operator's protection must stop, as an ordinary user meets them (root writes anyway).
struct TRefusalCase {
  const char* Label;
  bool FileExists;
  fs::perms FileMode;
  bool FolderWritable;
  const char* Value;
  bool LineBreakMessage;  // else "Unable to write to" the file
};
void PrintTo(const TRefusalCase& c, std::ostream* os) { *os << c.Label; }

class WriteRefusal : public SettingsStore, public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(WriteRefusal, RaisesAndLeavesTheFolderAsItWas) {
  const TRefusalCase& c = GetParam();
  const std::string before = "; operator notes\n[PortName]\nName=ttyS0\n";
  if (c.FileExists) {
    WriteIni(before);
    fs::permissions(ini_, c.FileMode);
  }
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
      GTEST_SKIP() << "no ordinary user on this machine";
    }
    ASSERT_EQ(::chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    if (c.FileExists) {
      ASSERT_EQ(::chown(ini_.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
  }
  if (!c.FolderWritable) fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);

  std::string message;
  {
    test::TAsOrdinaryUser user;
    if (::geteuid() == 0) {
      GTEST_SKIP() << "cannot become an ordinary user";
    }
    try {
      Store()->WriteValue("FileName", "Name", c.Value);
    } catch (const EIniFileException& e) {
      message = e.Message();
    }
  }
  EXPECT_EQ(message,
            c.LineBreakMessage ? LineBreakInValueMessage("FileName", "Name") : UnableToWriteMessage(ini_.string()));
  std::vector<fs::path> left;
  for (const auto& entry : fs::directory_iterator(dir_)) left.push_back(entry.path());
  if (c.FileExists) {
    EXPECT_EQ(ReadAll(ini_), before);
    EXPECT_EQ(left, std::vector<fs::path>{ini_}) << "no temporary file left beside it";
  } else {
    EXPECT_TRUE(left.empty());
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    AsOrdinaryUser, WriteRefusal,
    ::testing::Values(
        TRefusalCase{"ReadOnlyFile", true, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                     true, "/a.hex", false},
        TRefusalCase{"ReadOnlyFileInReadOnlyFolder", true, fs::perms::owner_read, false, "/a.hex", false},
        TRefusalCase{"ReadOnlyFolderWithoutFile", false, fs::perms::none, false, "/a.hex", false},
        TRefusalCase{"LineBreakInWritableFile", true, fs::perms::owner_read | fs::perms::owner_write, true,
                     "/a\nb.hex", true}),
    [](const ::testing::TestParamInfo<TRefusalCase>& info) { return std::string(info.param.Label); });
// clang-format on

TEST_F(SettingsStore, PathChangeMovesToTheNewFile) {
  auto store = Store();
  store->WriteValue("PortName", "Name", "ttyS0");
  store->SetPathType(TPathType::ptIniFile);  // equal value: nothing to rebuild
  EXPECT_FALSE(store->ReopenNeeded());
  const fs::path other = dir_ / "other.ini";
  store->SetPath(other.string());
  EXPECT_TRUE(store->ReopenNeeded());
  store->WriteValue("PortName", "Name", "ttyS1");
  EXPECT_EQ(store->IniFileName(), other.string());
  EXPECT_EQ(ReadAll(ini_), "[PortName]\nName=ttyS0\n");
  EXPECT_EQ(ReadAll(other), "[PortName]\nName=ttyS1\n");
}

TEST_F(SettingsStore, DefaultFileIsNamedAfterTheExecutable) {
  TRegIniFile store;
  store.HasSection("PortName");
  EXPECT_EQ(store.IniFileName(), IniFileNameFor(ExecutablePath()));
  EXPECT_EQ(fs::path(store.IniFileName()).filename(), "settings_store_tests.ini");
}

TEST_F(SettingsStore, RegistryModeRaisesAClearError) {
  TRegIniFile store;
  store.SetPathType(TPathType::ptRegistry);
  EXPECT_THROW(store.HasSection("PortName"), ERegistryException);
  EXPECT_THROW(store.WriteValue("PortName", "Name", "x"), ERegistryException);
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
    ::testing::Values(TNameCase{"WithExtension", "/opt/tools/loader.exe", "/opt/tools/loader.ini"},
                      TNameCase{"DotInFolderOnly", "/opt/tools.old/loader", "/opt/tools.old/loader.ini"},
                      TNameCase{"NoExtension", "/usr/local/bin/hexloader", "/usr/local/bin/hexloader.ini"},
                      TNameCase{"LastDotCounts", "/opt/a.b.c", "/opt/a.b.ini"}),
    [](const ::testing::TestParamInfo<TNameCase>& info) { return std::string(info.param.Label); });
// clang-format on

}  // namespace
}  // namespace hexloader
