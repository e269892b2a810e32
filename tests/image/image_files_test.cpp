// The files around a conversion: where the image goes, its backup, and the failures of the file calls.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "image/file_errors.h"
#include "image/hex_to_bin.h"
#include "image/image_name.h"
#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

namespace fs = std::filesystem;

const std::string kHex = DataRecord(0x0000, {0x11, 0x22, 0x33}) + "\n:00000001FF\n";
const TBytes kImage = {0x11, 0x22, 0x33};

std::string AsText(const TBytes& Bytes) { return std::string(Bytes.begin(), Bytes.end()); }

struct TNameCase {
  const char* Name;
  const char* HexPath;
  const char* ImageName;
};

void PrintTo(const TNameCase& Case, std::ostream* Out) { *Out << Case.HexPath; }

class TImageNameTest : public ::testing::TestWithParam<TNameCase> {};

TEST_P(TImageNameTest, NameIsTheFileNameWithBinExtension) {
  EXPECT_EQ(ImageFileName(GetParam().HexPath), GetParam().ImageName);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TImageNameTest,
    ::testing::Values(TNameCase{"AbsolutePath", "/work/fw.hex", "fw.BIN"},
                      TNameCase{"BareName", "fw.hex", "fw.BIN"},
                      TNameCase{"NoExtension", "/work/fw", "fw.BIN"},
                      TNameCase{"DotInDirectoryOnly", "/work/v1.2/fw", "fw.BIN"},
                      TNameCase{"LastDotStartsTheExtension", "/work/fw.v1.hex", "fw.v1.BIN"},
                      TNameCase{"UpperCaseExtension", "FW.HEX", "FW.BIN"},
                      TNameCase{"BackslashIsPartOfTheName", "/work/C:\\fw.hex", "C:\\fw.BIN"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(BackupFileName, ReplacesTheExtension) { EXPECT_EQ(BackupFileName("fw.BIN"), "fw.BAK"); }

class THexToBinFilesTest : public TWorkDirTest {};

TEST_F(THexToBinFilesTest, ImageGoesIntoCurrentDirectoryWhereverTheHexFileLies) {
  fs::create_directories("in.dir/sub");
  WriteFile("in.dir/sub/fw", kHex);
  EXPECT_EQ(HexToBin((Dir() / "in.dir/sub/fw").string()), "fw.BIN");
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);
  EXPECT_FALSE(fs::exists("in.dir/sub/fw.BIN"));
}

TEST_F(THexToBinFilesTest, MissingHexFileGivesEmptyNameAndTouchesNothing) {
  WriteFile("fw.BIN", "old");
  EXPECT_EQ(HexToBin("fw.hex"), "");
  fs::create_directory("dir.hex");
  EXPECT_EQ(HexToBin("dir.hex"), "");
  EXPECT_EQ(AsText(ReadBytes("fw.BIN")), "old");
  EXPECT_FALSE(fs::exists("fw.BAK"));
  EXPECT_FALSE(fs::exists("dir.BIN"));
}

TEST_F(THexToBinFilesTest, OldImageBecomesTheBackup) {
  WriteFile("fw.hex", kHex);
  WriteFile("fw.BIN", "old image");
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);
  EXPECT_EQ(AsText(ReadBytes("fw.BAK")), "old image");
}

TEST_F(THexToBinFilesTest, ExistingBackupIsNeverReplaced) {
  WriteFile("fw.hex", kHex);
  WriteFile("fw.BIN", "old image");
  WriteFile("fw.BAK", "older image");
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);
  EXPECT_EQ(AsText(ReadBytes("fw.BAK")), "older image");
}

TEST_F(THexToBinFilesTest, UnreadableHexFileRaisesOpenErrorAndCreatesNothing) {
  // Opens like a file but every read fails with an I/O error, even for root.
  try {
    HexToBin("/proc/self/mem");
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"/proc/self/mem\". Input/output error");
  }
  EXPECT_FALSE(fs::exists("mem.BIN"));
}

TEST_F(THexToBinFilesTest, ImageThatCannotBeCreatedRaisesCreateErrorWithExpandedPath) {
  WriteFile("fw.hex", kHex);
  fs::create_directory("fw.BIN");
  try {
    HexToBin("fw.hex");
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + (Dir() / "fw.BIN").string() + "\". Is a directory");
  }
}

TEST_F(THexToBinFilesTest, FullDiskRaisesWriteError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteFile("fw.hex", kHex);
  WriteFile("fw.BAK", "older image");  // so the image name is not renamed away but opened
  fs::create_symlink("/dev/full", "fw.BIN");
  try {
    HexToBin("fw.hex");
    FAIL() << "a failed write was reported as success";
  } catch (const EFWriteError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot write file \"" + (Dir() / "fw.BIN").string() + "\". No space left on device");
  }
}

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST_F(THexToBinFilesTest, FailedConversionReleasesTheImageForTheNext) {
  WriteFile("fw.hex", kHex + "G\n:1000000011");  // a bad line after good ones
  std::size_t before = OpenDescriptors();
  EXPECT_THROW(HexToBin("fw.hex"), EConvertError);
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);

  WriteFile("fw.hex", kHex);
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  EXPECT_EQ(ReadBytes("fw.BAK"), kImage);
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);
}

}  // namespace
}  // namespace hexloader::test
