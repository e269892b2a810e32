// The files around a conversion on Windows: UTF-16 paths (a Cyrillic folder), the backup by
// MoveFileEx without replacing, and the system's texts in the file errors.
#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/system_error.h"
#include "core/utf8_path.h"
#include "image/file_errors.h"
#include "image/hex_to_bin.h"
#include "image/image_name.h"
#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

namespace fs = std::filesystem;

const std::string kHex = DataRecord(0x0004, Counting(16, 0x40)) + "\r\n:00000001FF\r\n";
const TBytes kImage = Image(20, {{4, Counting(16, 0x40)}});

std::string AsText(const TBytes& Bytes) { return std::string(Bytes.begin(), Bytes.end()); }

struct TNameCase {
  const char* Name;
  const char* HexPath;
  const char* ImageName;
};
void PrintTo(const TNameCase& Case, std::ostream* Out) { *Out << Case.HexPath; }

class TImageNameTest : public ::testing::TestWithParam<TNameCase> {};

TEST_P(TImageNameTest, NameAfterTheLastFolderOrDrive) {
  EXPECT_EQ(ImageFileName(GetParam().HexPath), GetParam().ImageName);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Paths, TImageNameTest,
    ::testing::Values(TNameCase{"Backslashes", "C:\\work\\fw.hex", "fw.BIN"},
                      TNameCase{"NoExtension", "C:\\work\\fw", "fw.BIN"},
                      TNameCase{"DotInFolderOnly", "C:\\v1.2\\fw", "fw.BIN"},
                      TNameCase{"DriveRelative", "C:fw.hex", "fw.BIN"},
                      TNameCase{"ForwardSlashes", "C:/work/fw.hex", "fw.BIN"}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

// Each test in a fresh temporary folder whose name is Cyrillic, as the current directory.
class TWin32FilesTest : public TWorkDirTest {
 protected:
  void SetUp() override {
    TWorkDirTest::SetUp();
    fs::create_directory(PathFromUtf8("прошивки"));
    fs::current_path(PathFromUtf8("прошивки"));
  }
  std::string Here(const std::string& Name) const { return Utf8FromPath(fs::current_path() / PathFromUtf8(Name)); }
};

TEST_F(TWin32FilesTest, HexFileInCyrillicFolderConvertsIntoTheCurrentFolder) {
  fs::create_directory(PathFromUtf8("исходники"));
  WriteFile(PathFromUtf8("исходники/прибор.hex"), kHex);
  EXPECT_EQ(HexToBin(Here("исходники\\прибор.hex")), "прибор.BIN");
  EXPECT_EQ(ReadBytes(PathFromUtf8("прибор.BIN")), kImage);
}

TEST_F(TWin32FilesTest, MissingHexFileOrFolderGivesEmptyName) {
  EXPECT_EQ(HexToBin(Here("нет.hex")), "");
  fs::create_directory("dir.hex");
  EXPECT_EQ(HexToBin(Here("dir.hex")), "");
  EXPECT_FALSE(fs::exists("dir.BIN"));
}

struct TBackupCase {
  const char* Name;
  bool BackupExists;
  const char* BackupAfter;
};
class TBackupTest : public TWin32FilesTest, public ::testing::WithParamInterface<TBackupCase> {};

TEST_P(TBackupTest, OldImageKeptOnlyWhereNoBackupIs) {
  WriteFile("fw.hex", kHex);
  WriteFile("fw.BIN", "old image");
  if (GetParam().BackupExists) WriteFile("fw.BAK", "older image");
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);
  EXPECT_EQ(AsText(ReadBytes("fw.BAK")), GetParam().BackupAfter);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Backups, TBackupTest,
                         ::testing::Values(TBackupCase{"OldImageBecomesTheBackup", false, "old image"},
                                           TBackupCase{"ExistingBackupIsNeverReplaced", true, "older image"}),
                         [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

// A file held open without sharing by another handle, as an editor or a second loader may hold it.
class TLockedFile {
 public:
  explicit TLockedFile(const std::string& Path)
      : Handle_(::CreateFileW(std::wstring(PathFromUtf8(Path).wstring()).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~TLockedFile() {
    if (Handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(Handle_);
  }
  bool Held() const { return Handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE Handle_;
};

TEST_F(TWin32FilesTest, HexFileHeldByAnotherProgramRaisesOpenErrorWithTheSystemText) {
  WriteFile("fw.hex", kHex);
  TLockedFile lock(Here("fw.hex"));
  ASSERT_TRUE(lock.Held());
  try {
    HexToBin("fw.hex");
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + Here("fw.hex") + "\". " + SysErrorMessage(ERROR_SHARING_VIOLATION));
  }
  EXPECT_FALSE(fs::exists("fw.BIN"));
}

TEST_F(TWin32FilesTest, ImageHeldByAnotherProgramRaisesCreateErrorWithExpandedPath) {
  WriteFile("fw.hex", kHex);
  WriteFile("fw.BAK", "older image");  // so the held image is not renamed away but opened
  TLockedFile lock(Here("fw.BIN"));
  ASSERT_TRUE(lock.Held());
  try {
    HexToBin("fw.hex");
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + Here("fw.BIN") + "\". " + SysErrorMessage(ERROR_SHARING_VIOLATION));
  }
}

TEST(SystemErrorText, SystemTextWithoutTheLineBreak) {
  const std::string text = SysErrorMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
}

}  // namespace
}  // namespace hexloader::test
