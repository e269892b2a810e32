// The files around a conversion: where the image goes, its backup, and the failures of the file calls.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "image/file_errors.h"
#include "image/hex_to_bin.h"
#include "image/image_file_system.h"
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

// One row a case.
// clang-format off
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
// clang-format on

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

// A lower file-size limit for this process while it lives, with SIGXFSZ ignored as every program of
// ours ignores it, so that writing past the limit fails with EFBIG.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t Bytes) {
    getrlimit(RLIMIT_FSIZE, &Saved_);
    SavedSignal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lower{Bytes, Saved_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Saved_);
    signal(SIGXFSZ, SavedSignal_);
  }

 private:
  rlimit Saved_{};
  sighandler_t SavedSignal_;
};

TEST_F(THexToBinFilesTest, FailedWriteRaisesWriteError) {
  WriteFile("fw.hex", ":020000040020DA\n" + DataRecord(0x0000, {0xAB}) + "\n");  // a 2 MiB image
  TFileSizeLimit limit(1 << 20);
  try {
    HexToBin("fw.hex");
    FAIL() << "a failed write was reported as success";
  } catch (const EFWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot write file \"" + (Dir() / "fw.BIN").string() + "\". File too large");
  }
}

// A symbolic link at the image's name, planted by anyone who can write to the folder, must never have
// the image written into its target.
struct TLinkCase {
  const char* Name;
  bool BackupTaken;  // fw.BAK exists before the conversion
  bool LinkDangles;  // the link points at a file that does not exist
};
void PrintTo(const TLinkCase& Case, std::ostream* Out) { *Out << Case.Name; }

class TImageLinkTest : public TWorkDirTest, public ::testing::WithParamInterface<TLinkCase> {};

TEST_P(TImageLinkTest, LinkIsNeverFollowed) {
  const TLinkCase& c = GetParam();
  fs::create_directory("elsewhere");
  const fs::path target = Dir() / "elsewhere" / "precious";
  if (!c.LinkDangles) WriteFile(target, "precious");
  WriteFile("fw.hex", kHex);
  if (c.BackupTaken) WriteFile("fw.BAK", "older image");
  fs::create_symlink(target, "fw.BIN");

  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");

  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("fw.BIN"))) << "the image is a new regular file";
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);
  if (c.LinkDangles) EXPECT_FALSE(fs::exists(target)) << "the link's target was created";
  else EXPECT_EQ(AsText(ReadBytes(target)), "precious") << "the link's target was overwritten";
  if (c.BackupTaken) {
    EXPECT_EQ(AsText(ReadBytes("fw.BAK")), "older image");
  } else {
    ASSERT_TRUE(fs::is_symlink("fw.BAK")) << "the link itself becomes the backup";
    EXPECT_EQ(fs::read_symlink("fw.BAK"), target);
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Links, TImageLinkTest,
                         ::testing::Values(TLinkCase{"MovedToFreeBackupName", false, false},
                                           TLinkCase{"RemovedWhenBackupIsTaken", true, false},
                                           TLinkCase{"DanglingMovedToFreeBackupName", false, true},
                                           TLinkCase{"DanglingRemovedWhenBackupIsTaken", true, true}),
                         [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

// The converter removes the entry at the image's name, then creates the image: a link planted between
// the two steps makes the create fail and is not followed.
TEST_F(THexToBinFilesTest, LinkPlantedBeforeTheCreateFailsIt) {
  WriteFile("precious", "precious");
  image_fs::RemoveEntry("fw.BIN");
  fs::create_symlink(Dir() / "precious", "fw.BIN");
  try {
    image_fs::TOutputFile::CreateExclusive("fw.BIN");
    FAIL() << "created over a planted link";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + (Dir() / "fw.BIN").string() + "\". File exists");
  }
  EXPECT_EQ(AsText(ReadBytes("precious")), "precious");
}

TEST_F(THexToBinFilesTest, ExistingImageIsReplacedByANewFileWhenBackupIsTaken) {
  WriteFile("fw.hex", kHex);
  WriteFile("fw.BIN", "old image");
  WriteFile("fw.BAK", "older image");
  fs::create_hard_link("fw.BIN", "other-name");
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  EXPECT_EQ(ReadBytes("fw.BIN"), kImage);
  EXPECT_EQ(AsText(ReadBytes("other-name")), "old image") << "written through a second name of the old image";
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
