// hexloader-cli upload on a production line under faults: stop requests at every moment of a run, a
// reader that leaves standard output, a record file that fails, and arguments refused before any
// port is opened. Real pseudo-terminals with the simulated device, real files.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/record_lines.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr std::size_t kImageSize = 5000;

class CliFaults : public ::testing::Test {
 protected:
  CliFaults() : Image(PatternImage(kImageSize)) { WriteIntelHex(Dir.File("fw.hex"), Image); }

  std::vector<json> Records(const std::string& Name = "uploads.jsonl") const { return ReadRecordLines(Dir.File(Name)); }
  bool AwaitRecords(std::size_t Count) const { return AwaitRecordLines(Dir.File("uploads.jsonl"), Count); }

  std::string Text(const std::string& Name) const {
    const std::vector<std::uint8_t> Bytes = ReadFile(Dir.File(Name));
    return std::string(Bytes.begin(), Bytes.end());
  }

  std::vector<std::string> Upload(const std::vector<std::string>& More) const {
    std::vector<std::string> Args = {CliPath(), "upload"};
    Args.insert(Args.end(), More.begin(), More.end());
    return Args;
  }

  TTempDir Dir;
  std::vector<std::uint8_t> Image;
};

// --- stop requests ---

enum class TMoment { WaitingForHello, MidUpload, BetweenBoards };

struct TStopCase {
  int Signal;
  int Times;
  TMoment Moment;
  bool AtOnce = false;  // 5 ms apart: each is delivered, and the loader sees both at its next look
};
void PrintTo(const TStopCase& C, std::ostream* Out) {
  *Out << strsignal(C.Signal) << " x" << C.Times << " at " << static_cast<int>(C.Moment);
}

class CliStopRequests : public CliFaults, public ::testing::WithParamInterface<TStopCase> {};

TEST_P(CliStopRequests, EndWithTheirRecordsSummaryAndStatus) {
  const TStopCase& C = GetParam();
  std::vector<std::string> SimArgs = {"--memory", Dir.File("mem.bin")};
  std::vector<std::string> CliArgs = {"--log", "uploads.jsonl"};
  switch (C.Moment) {
    case TMoment::WaitingForHello:
      // The device switches on only after the requests: it must not be programmed then.
      SimArgs.insert(SimArgs.end(), {"--once", "--hello-delay", "1500"});
      break;
    case TMoment::MidUpload:
      SimArgs.insert(SimArgs.end(), {"--once", "--hello-delay", "0", "--bit-rate", "19200"});
      CliArgs.push_back("--repeat");
      break;
    case TMoment::BetweenBoards:
      SimArgs.insert(SimArgs.end(), {"--boards", "2", "--hello-delay", "0"});
      CliArgs.push_back("--repeat");
      break;
  }
  TSimProcess Sim(SimArgs);
  CliArgs.insert(CliArgs.end(), {"--port", Sim.PortPath(), "fw.hex"});
  TChildProcess Cli(Upload(CliArgs), Dir.Path(), Dir.File("out.txt"), Dir.File("err.txt"));
  if (C.Moment == TMoment::BetweenBoards) {
    ASSERT_TRUE(AwaitRecords(2));
  }
  std::this_thread::sleep_for(C.Moment == TMoment::MidUpload ? 700ms : 300ms);
  for (int i = 0; i < C.Times; ++i) {
    Cli.Signal(C.Signal);
    std::this_thread::sleep_for(C.AtOnce ? 5ms : 60ms);
  }
  const int Status = Cli.Wait();  // the process is gone: a third request did not kill it either
  const std::string Out = Text("out.txt"), Err = Text("err.txt");
  const std::vector<json> Lines = Records();

  switch (C.Moment) {
    case TMoment::WaitingForHello:
      EXPECT_EQ(Status, 1) << Err;
      ASSERT_EQ(Lines.size(), 1u);
      EXPECT_EQ(Lines[0].at("result"), "interrupted");
      EXPECT_EQ(Lines[0].at("message"), "stopped before the device answered");
      std::this_thread::sleep_for(1500ms);  // past the device's switching on
      EXPECT_FALSE(std::filesystem::exists(Dir.File("mem.bin"))) << "a board was programmed after the stop";
      break;
    case TMoment::MidUpload:
      ASSERT_EQ(Lines.size(), 1u);
      if (C.Times == 1) {
        EXPECT_EQ(Status, 0) << Err;
        EXPECT_EQ(Lines[0].at("result"), "ok");
        EXPECT_NE(Out.find("1 good, 0 failed"), std::string::npos) << Out;
      } else {
        EXPECT_EQ(Status, 1) << Err;
        EXPECT_EQ(Lines[0].at("result"), "interrupted");
        EXPECT_NE(Out.find("0 good, 1 failed"), std::string::npos) << Out;
      }
      break;
    case TMoment::BetweenBoards:
      EXPECT_EQ(Status, 0) << Err;
      EXPECT_EQ(Lines.size(), 2u);
      EXPECT_NE(Out.find("2 good, 0 failed"), std::string::npos) << Out;
      break;
  }
  if (C.Moment != TMoment::WaitingForHello) {
    EXPECT_NE(Out.find("Summary:"), std::string::npos) << Out;
  }
}

std::vector<TStopCase> StopCases() {
  std::vector<TStopCase> Cases;
  for (const int Signal : {SIGINT, SIGTERM, SIGHUP})
    for (const int Times : {1, 2, 3})
      for (const TMoment Moment : {TMoment::WaitingForHello, TMoment::MidUpload, TMoment::BetweenBoards})
        Cases.push_back({Signal, Times, Moment});
  for (const TMoment Moment : {TMoment::WaitingForHello, TMoment::MidUpload})
    Cases.push_back({SIGTERM, 2, Moment, true});
  return Cases;
}

std::string StopCaseName(const ::testing::TestParamInfo<TStopCase>& Info) {
  static const char* const Moments[] = {"WaitingForHello", "MidUpload", "BetweenBoards"};
  const TStopCase& C = Info.param;
  const char* Name = C.Signal == SIGINT ? "Sigint" : C.Signal == SIGTERM ? "Sigterm" : "Sighup";
  return std::string(Name) + "x" + std::to_string(C.Times) + Moments[static_cast<int>(C.Moment)] +
         (C.AtOnce ? "AtOnce" : "");
}

INSTANTIATE_TEST_SUITE_P(Table, CliStopRequests, ::testing::ValuesIn(StopCases()), StopCaseName);

// --- standard output's reader goes away ---

TEST_F(CliFaults, AReaderLeavingStandardOutputCostsNoRecordAndNoSummary) {
  TSimProcess Sim({"--boards", "3", "--hello-delay", "200", "--memory", Dir.File("mem.bin")});
  ASSERT_EQ(::mkfifo(Dir.File("out.fifo").c_str(), 0600), 0);
  // The reader is there first: the child's open of the FIFO must not wait for it while starting.
  const int Reader = ::open(Dir.File("out.fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(Reader, 0);
  TChildProcess Cli(Upload({"--port", Sim.PortPath(), "--repeat", "--log", "uploads.jsonl", "fw.hex"}), Dir.Path(),
                    Dir.File("out.fifo"), Dir.File("err.txt"));
  ::fcntl(Reader, F_SETFL, 0);
  // As "| head -1": one line read, then the reader is gone.
  char Byte = 0;
  while (::read(Reader, &Byte, 1) == 1 && Byte != '\n') {}
  ::close(Reader);
  ASSERT_TRUE(AwaitRecords(3)) << Text("err.txt");
  Cli.Signal(SIGINT);
  EXPECT_EQ(Cli.Wait(), 0);
  const std::string Err = Text("err.txt");
  EXPECT_NE(Err.find("Summary:"), std::string::npos) << Err;
  EXPECT_NE(Err.find("3 good, 0 failed"), std::string::npos) << Err;
  for (const json& R : Records()) EXPECT_EQ(R.at("result"), "ok");
}

// The image is held in memory for the whole run: no file in the temporary folder, and removing the
// converted image while boards are programmed changes nothing.
TEST_F(CliFaults, TheImageIsKeptInMemoryForTheWholeRun) {
  std::filesystem::create_directory(Dir.File("tmp"));
  TSimProcess Sim({"--boards", "3", "--hello-delay", "100", "--bit-rate", "115200", "--memory", Dir.File("mem.bin")});
  std::vector<std::string> Args = {"/usr/bin/env", "TMPDIR=" + Dir.File("tmp")};
  const std::vector<std::string> Cli =
      Upload({"--port", Sim.PortPath(), "--repeat", "--log", "uploads.jsonl", "fw.hex"});
  Args.insert(Args.end(), Cli.begin(), Cli.end());
  TChildProcess Run(Args, Dir.Path(), Dir.File("out.txt"), Dir.File("err.txt"));
  ASSERT_TRUE(AwaitRecords(1)) << Text("err.txt");
  EXPECT_TRUE(std::filesystem::is_empty(Dir.File("tmp"))) << "a temporary file was made";
  EXPECT_TRUE(std::filesystem::remove(Dir.File("fw.BIN"))) << "the converted image is in the folder";
  ASSERT_TRUE(AwaitRecords(3)) << Text("err.txt");
  Run.Signal(SIGINT);
  EXPECT_EQ(Run.Wait(), 0) << Text("err.txt");
  const std::vector<json> Lines = Records();
  ASSERT_EQ(Lines.size(), 3u);
  for (const json& R : Lines) EXPECT_EQ(R.at("result"), "ok") << R;
  for (int b = 1; b <= 3; ++b) {
    const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("mem-b" + std::to_string(b) + ".bin"));
    ASSERT_GE(Memory.size(), Image.size()) << b;
    EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin())) << "board " << b;
  }
}

// --- arguments refused before any port is opened ---

struct TRefusalCase {
  const char* Name;
  std::vector<std::string> Args;  // "PORT" stands for the simulated device's port
  const char* ErrorPart;
};
void PrintTo(const TRefusalCase& C, std::ostream* Out) { *Out << C.Name; }

class CliRefusals : public CliFaults, public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(CliRefusals, AtOnceWithNothingSent) {
  const TRefusalCase& C = GetParam();
  ASSERT_EQ(::mkfifo(Dir.File("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(Dir.File("folder"));
  WriteFile(Dir.File("empty.hex"), {});
  const std::string EofOnly = ":00000001FF\n";
  WriteFile(Dir.File("eof.hex"), std::vector<std::uint8_t>(EofOnly.begin(), EofOnly.end()));
  // A device that switches on at once: an opened port would start an upload.
  TSimProcess Sim({"--once", "--hello-delay", "0", "--memory", Dir.File("mem.bin")});
  std::vector<std::string> Args;
  for (const std::string& A : C.Args) Args.push_back(A == "PORT" ? Sim.PortPath() : A);
  std::string Out, Err;
  const auto Began = std::chrono::steady_clock::now();
  EXPECT_EQ(RunProgram(Upload(Args), &Out, &Err, Dir.Path()), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - Began, 5s) << "not refused at once";
  EXPECT_NE(Err.find(C.ErrorPart), std::string::npos) << Err;
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(std::filesystem::exists(Dir.File("mem.bin"))) << "something was sent";
  EXPECT_TRUE(Records().empty());
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, CliRefusals,
    ::testing::Values(
        TRefusalCase{"EmptyLog", {"--port", "PORT", "--log", "", "fw.hex"}, "--log needs a value that is not empty"},
        TRefusalCase{"EmptyPort", {"--port", "PORT", "--port", "", "fw.hex"}, "--port needs a value that is not empty"},
        TRefusalCase{"LogIsAFifo", {"--port", "PORT", "--log", "fifo", "--timeout", "2", "fw.hex"}, "fifo"},
        TRefusalCase{"LogIsAFolder", {"--port", "PORT", "--log", "folder", "fw.hex"}, "folder"},
        TRefusalCase{"EmptyHexFile", {"--port", "PORT", "--log", "uploads.jsonl", "empty.hex"}, "empty.hex: no data records"},
        TRefusalCase{"EofOnlyHexFile", {"--port", "PORT", "--log", "uploads.jsonl", "eof.hex"}, "eof.hex: no data records"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --- a record that goes in only in part ---

TEST_F(CliFaults, AShortWriteIsCutOffAndStopsTheLine) {
  // A file size limit a little past the record file's end: the next line goes in only in part (the
  // shell's limit counts 1024-byte blocks; the signal for the limit is ignored, so the write comes back short).
  const std::string Earlier = std::string(9100, 'x') + "\n";
  WriteFile(Dir.File("uploads.jsonl"), std::vector<std::uint8_t>(Earlier.begin(), Earlier.end()));
  TSimProcess Sim({"--boards", "5", "--hello-delay", "0", "--memory", Dir.File("mem.bin")});
  const std::string Command =
      "ulimit -f 9; trap '' XFSZ; exec \"$0\" upload --port \"$1\" --repeat --log uploads.jsonl fw.hex";
  std::string Out, Err;
  EXPECT_EQ(RunProgram({"/bin/bash", "-c", Command, CliPath(), Sim.PortPath()}, &Out, &Err, Dir.Path()), 1) << Err;
  EXPECT_NE(Err.find("a record could not be written"), std::string::npos) << Err;
  EXPECT_EQ(Text("uploads.jsonl"), Earlier) << "the part that went in was not cut off";
  EXPECT_FALSE(std::filesystem::exists(Dir.File("mem-b2.bin"))) << "a second board was programmed without its record";
}

// --- a record file on a file system that fills up ---

// A small tmpfs of its own (root only): the records run out of room while boards are waiting.
class CliFullDisk : public CliFaults {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(Dir.File("small"));
    if (::geteuid() != 0 || ::mount("tmpfs", Dir.File("small").c_str(), "tmpfs", 0, "size=8k") != 0)
      GTEST_SKIP() << "needs root to mount a small tmpfs";
    Mounted_ = true;
  }
  void TearDown() override {
    if (Mounted_) ::umount2(Dir.File("small").c_str(), MNT_DETACH);
  }
  bool Mounted_ = false;
};

TEST_F(CliFullDisk, NoPartialLineAndNoBoardWithoutItsRecord) {
  // Fill the file system but for a little more than one record.
  {
    std::ofstream Fill(Dir.File("small/fill"), std::ios::binary);
    const std::string Block(512, 'x');
    while (Fill.write(Block.data(), Block.size()) && Fill.flush()) {}
  }
  std::filesystem::resize_file(Dir.File("small/fill"), std::filesystem::file_size(Dir.File("small/fill")) - 3000);
  TSimProcess Sim({"--devices", "2", "--boards", "40", "--hello-delay", "0", "--memory", Dir.File("mem.bin")}, 2);
  std::string Out, Err;
  // The run ends by itself: the failed record stops it.
  EXPECT_EQ(RunProgram(Upload({"--port", Sim.PortPaths()[0], "--port", Sim.PortPaths()[1], "--repeat", "--log",
                               "small/uploads.jsonl", "fw.hex"}),
                       &Out, &Err, Dir.Path()),
            1);
  EXPECT_NE(Err.find("a record could not be written"), std::string::npos) << Err;
  const std::string Record = Text("small/uploads.jsonl");
  EXPECT_TRUE(Record.empty() || Record.back() == '\n') << "a partial line was left";
  const std::vector<json> Lines = Records("small/uploads.jsonl");
  // Every board programmed has its record, but for those that were running when the record failed
  // (one per port at most, each told about on standard error).
  int Boards = 0;
  for (const auto& Entry : std::filesystem::directory_iterator(Dir.Path()))
    if (Entry.path().filename().string().rfind("mem-", 0) == 0) ++Boards;
  EXPECT_LE(Boards, static_cast<int>(Lines.size()) + 2) << Err;
  EXPECT_LT(Boards, 80) << "the line went on after the record failed";
}

}  // namespace
}  // namespace hexloader::test
