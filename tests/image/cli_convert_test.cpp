// hexloader-cli convert, run as a program: the image's name on standard output and status 0, or the
// exception's message on standard error and status 1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

TRun Convert(const std::string& Argument) {
  std::string command =
      std::string("'") + HEXLOADER_CLI + "' convert '" + Argument + "' > out.txt 2> err.txt";
  int raw = std::system(command.c_str());
  TRun run;
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  TBytes out = ReadBytes("out.txt"), err = ReadBytes("err.txt");
  run.Out.assign(out.begin(), out.end());
  run.Err.assign(err.begin(), err.end());
  return run;
}

class TCliConvertTest : public TWorkDirTest {};

TEST_F(TCliConvertTest, PrintsImageNameAndKeepsBackup) {
  WriteFile("fw.hex", DataRecord(0x0004, {0xAB}) + "\n:00000001FF\n");
  WriteFile("fw.BIN", "old image");
  TRun run = Convert("fw.hex");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "fw.BIN\n");
  EXPECT_EQ(ReadBytes("fw.BIN"), (TBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xAB}));
  EXPECT_EQ(ReadBytes("fw.BAK"), (TBytes{'o', 'l', 'd', ' ', 'i', 'm', 'a', 'g', 'e'}));
}

TEST_F(TCliConvertTest, FailurePrintsMessageOnStandardErrorWithStatusOne) {
  WriteFile("fw.hex", ":10000000GG\n");
  TRun run = Convert("fw.hex");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "Line 1 of the HEX file is too short for its record\n");
}

TEST_F(TCliConvertTest, MissingFileIsReportedAndNothingIsCreated) {
  TRun run = Convert("missing.hex");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "Cannot open file \"" + (Dir() / "missing.hex").string() + "\". No such file or directory\n");
  EXPECT_FALSE(std::filesystem::exists("missing.BIN"));
}

}  // namespace
}  // namespace hexloader::test
