// hexloader-cli convert, run as a program: the image's name on standard output and status 0, or the
// exception's message on standard error and status 1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// Runs hexloader-cli with Args in the current directory, standard output and error in files. A
// FileSizeLimit above 0 is set as the child's RLIMIT_FSIZE, with SIGXFSZ at its default action as a
// shell would leave it, so that only the program itself can keep the signal from ending it.
TRun RunCli(std::vector<std::string> Args, rlim_t FileSizeLimit = 0) {
  Args.insert(Args.begin(), HEXLOADER_CLI);
  std::vector<char*> argv;
  for (std::string& a : Args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) _exit(127);
    signal(SIGXFSZ, SIG_DFL);
    if (FileSizeLimit > 0) {
      rlimit limit{FileSizeLimit, FileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  TRun run;
  int raw = 0;
  if (pid < 0 || waitpid(pid, &raw, 0) != pid) return run;
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  TBytes out = ReadBytes("out.txt"), err = ReadBytes("err.txt");
  run.Out.assign(out.begin(), out.end());
  run.Err.assign(err.begin(), err.end());
  return run;
}

TRun Convert(const std::string& Argument) { return RunCli({"convert", Argument}); }

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

// A conversion error names the file as given and the line, as compilers do (the window says it its own way).
struct TConversionFailure {
  const char* Name;
  const char* Hex;
  const char* Err;
};
void PrintTo(const TConversionFailure& Case, std::ostream* Out) { *Out << Case.Name; }

class TCliConversionFailureTest : public TWorkDirTest, public ::testing::WithParamInterface<TConversionFailure> {};

TEST_P(TCliConversionFailureTest, NamesTheFileAndTheLineWithStatusOne) {
  std::filesystem::create_directory("src");
  WriteFile("src/fw.hex", GetParam().Hex);
  TRun run = Convert("src/fw.hex");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, GetParam().Err);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, TCliConversionFailureTest,
    ::testing::Values(
        TConversionFailure{"TooShort", ":10000000GG\n", "src/fw.hex:1: the line is too short for its record.\n"},
        TConversionFailure{"BadDataByte", ":0100000001FE\n\n:02001000ZZ01ED\n",
                           "src/fw.hex:3: '$ZZ' is not a valid integer value.\n"},
        TConversionFailure{"BadLoadAddress", ":0100000001FE\n:0100G00001FE\n",
                           "src/fw.hex:2: '$00G0' is not a valid integer value.\n"},
        TConversionFailure{"Overlap", ":0200100001020B\n:0100110005EA\n",
                           "src/fw.hex:2: the data overlaps data already written at address 0x00000011.\n"}),
    [](const ::testing::TestParamInfo<TConversionFailure>& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(TCliConvertTest, MissingFileIsReportedAndNothingIsCreated) {
  TRun run = Convert("missing.hex");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "Cannot open file \"" + (Dir() / "missing.hex").string() + "\". No such file or directory\n");
  EXPECT_FALSE(std::filesystem::exists("missing.BIN"));
}

// Records with wrong checksums: converted as they are with one warning, or refused with --strict before
// anything is written (an existing image stays where it is, not even moved to the backup name).
struct TChecksumRun {
  const char* Name;
  int BadRecords;
  bool Strict;
  int Status;
  const char* Err;  // standard error, exactly
};
void PrintTo(const TChecksumRun& Case, std::ostream* Out) { *Out << Case.Name; }

class TCliChecksumTest : public TWorkDirTest, public ::testing::WithParamInterface<TChecksumRun> {};

TEST_P(TCliChecksumTest, WarnsOrRefuses) {
  const TChecksumRun& c = GetParam();
  std::string hex = DataRecord(0x0000, Counting(16)) + "\n";
  TBytes image = Counting(16);
  for (int i = 0; i < c.BadRecords; ++i) {
    std::string bad = DataRecord(static_cast<std::uint16_t>(16 * (i + 1)), Counting(16, 0x80));
    bad.back() = bad.back() == '0' ? '1' : '0';
    hex += bad + "\n";
    TBytes data = Counting(16, 0x80);
    image.insert(image.end(), data.begin(), data.end());
  }
  WriteFile("fw.hex", hex + ":00000001FF\n");
  WriteFile("fw.BIN", "old image");
  std::vector<std::string> args = {"convert", "fw.hex"};
  if (c.Strict) args.insert(args.begin() + 1, "--strict");

  TRun run = RunCli(args);
  EXPECT_EQ(run.Status, c.Status);
  EXPECT_EQ(run.Err, c.Err);
  if (c.Status == 0) {
    EXPECT_EQ(run.Out, "fw.BIN\n");
    EXPECT_EQ(ReadBytes("fw.BIN"), image) << "the records are converted as they are";
  } else {
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(ReadBytes("fw.BIN"), (TBytes{'o', 'l', 'd', ' ', 'i', 'm', 'a', 'g', 'e'}));
    EXPECT_FALSE(std::filesystem::exists("fw.BAK"));
  }
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Files, TCliChecksumTest,
    ::testing::Values(
        TChecksumRun{"AllRightSaysNothing", 0, false, 0, ""},
        TChecksumRun{"AllRightStrict", 0, true, 0, ""},
        TChecksumRun{"OneWrongWarns", 1, false, 0,
                     "warning: 1 record has a wrong checksum (line 2); converted as they are\n"},
        TChecksumRun{"ManyWrongWarnOnceWithTheFirstLines", 7, false, 0,
                     "warning: 7 records have wrong checksums (lines 2, 3, 4, 5, 6, ...); converted as they are\n"},
        TChecksumRun{"StrictRefuses", 2, true, 1, "2 records have wrong checksums (lines 2, 3); refused (--strict)\n"}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST_F(TCliConvertTest, FileSizeLimitIsAWriteErrorNotASignal) {
  // Extended linear address 0x0020: a 2 MiB image, twice the limit.
  WriteFile("fw.hex", ":020000040020DA\n" + DataRecord(0x0000, {0xAB}) + "\n:00000001FF\n");
  TRun run = RunCli({"convert", "fw.hex"}, 1 << 20);
  EXPECT_EQ(run.Status, 1) << "128 + 25 is the end by SIGXFSZ";
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "Cannot write file \"" + (Dir() / "fw.BIN").string() + "\". File too large\n");
}

}  // namespace
}  // namespace hexloader::test
