// hexloader-cli upload on a production line, against simulated devices: several ports at once, one
// port failing while the others finish, board after board until SIGINT, and the record of every upload.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <regex>
#include <set>
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

constexpr std::size_t kImageSize = 5000;  // 40 data frames: long enough to run side by side
constexpr int kFrames = kImageSize / 128 + 1;

class CliProduction : public ::testing::Test {
 protected:
  CliProduction() : Image(PatternImage(kImageSize)) {
    WriteIntelHex(Dir.File("fw.hex"), Image);
    WriteFile(Dir.File("image.bin"), Image);
    std::string Out;
    RunProgram({"/usr/bin/sha256sum", Dir.File("image.bin")}, &Out, nullptr);
    ImageSha256 = Out.substr(0, 64);
  }

  std::vector<json> Records() const { return ReadRecordLines(Dir.File("uploads.jsonl")); }
  bool AwaitRecords(std::size_t Count) const { return AwaitRecordLines(Dir.File("uploads.jsonl"), Count); }

  // The record of a good upload of the image through Port.
  void ExpectGoodRecord(const json& R, const std::string& Port) const {
    EXPECT_EQ(R.at("port"), Port);
    EXPECT_EQ(R.at("file"), "fw.hex") << "the HEX path as given";
    EXPECT_EQ(R.at("image_bytes"), kImageSize);
    EXPECT_EQ(R.at("sha256"), ImageSha256);
    EXPECT_EQ(R.at("result"), "ok");
    EXPECT_FALSE(R.contains("message"));
    EXPECT_EQ(R.at("frames"), kFrames);
    EXPECT_GE(R.at("seconds").get<double>(), 0.0);
    EXPECT_TRUE(std::regex_match(R.at("time").get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)")))
        << R.at("time");
  }

  void ExpectMemoryIsImage(const std::string& File) const {
    const std::vector<std::uint8_t> Memory = ReadFile(Dir.File(File));
    ASSERT_GE(Memory.size(), Image.size()) << File;
    EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin())) << File << " differs from the image";
  }

  std::vector<std::string> Upload(const std::vector<std::string>& Ports,
                                  const std::vector<std::string>& More = {}) const {
    std::vector<std::string> Args = {CliPath(), "upload"};
    for (const std::string& Port : Ports) Args.insert(Args.end(), {"--port", Port});
    Args.insert(Args.end(), More.begin(), More.end());
    Args.insert(Args.end(), {"--log", "uploads.jsonl", "fw.hex"});
    return Args;
  }

  TTempDir Dir;
  std::vector<std::uint8_t> Image;
  std::string ImageSha256;
};

TEST_F(CliProduction, FourPortsAtOnceEachDeviceTakesTheImage) {
  TSimProcess Sim({"--devices", "4", "--once", "--hello-delay", "0", "--memory", Dir.File("mem.bin")}, 4);
  std::string Out, Err;
  ASSERT_EQ(RunProgram(Upload(Sim.PortPaths()), &Out, &Err, Dir.Path()), 0) << Err;
  EXPECT_EQ(Err, "");
  ASSERT_EQ(Sim.Wait(), 0);
  for (int d = 1; d <= 4; ++d) ExpectMemoryIsImage("mem-" + std::to_string(d) + ".bin");

  const std::vector<json> Lines = Records();
  ASSERT_EQ(Lines.size(), 4u);
  std::set<std::string> Seen;
  for (const json& R : Lines) {
    Seen.insert(R.at("port"));
    ExpectGoodRecord(R, R.at("port"));
  }
  EXPECT_EQ(Seen, std::set<std::string>(Sim.PortPaths().begin(), Sim.PortPaths().end()));
  for (const std::string& Port : Sim.PortPaths()) {
    EXPECT_NE(Out.find(Port + ": Включи питание"), std::string::npos) << "plain lines carry their port:\n" << Out;
    EXPECT_NE(Out.find(Port + ": Upload complete"), std::string::npos) << Out;
  }
  EXPECT_NE(Out.find("Summary:"), std::string::npos) << Out;
}

struct TFailingPortCase {
  const char* Name;
  std::vector<std::string> SimArgs;  // the failing device's faults; empty: no device at all
  std::vector<std::string> CliArgs;
  int ExitStatus;
  const char* Result;
  const char* MessagePart;
};
void PrintTo(const TFailingPortCase& C, std::ostream* Out) { *Out << C.Name; }

class CliOnePortFailing : public CliProduction, public ::testing::WithParamInterface<TFailingPortCase> {};

TEST_P(CliOnePortFailing, TheOthersFinishAndTheRunEndsWithItsStatus) {
  const TFailingPortCase& C = GetParam();
  TSimProcess Good({"--devices", "3", "--once", "--hello-delay", "0", "--memory", Dir.File("mem.bin")}, 3);
  std::unique_ptr<TSimProcess> Faulty;
  std::string FaultyPort = Dir.File("no-such-port");
  if (!C.SimArgs.empty()) {
    std::vector<std::string> Args = {"--once", "--hello-delay", "0"};
    Args.insert(Args.end(), C.SimArgs.begin(), C.SimArgs.end());
    Faulty = std::make_unique<TSimProcess>(Args);
    FaultyPort = Faulty->PortPath();
  }
  // The failing port second: its status must win over the good ones around it.
  const std::vector<std::string> Ports = {Good.PortPaths()[0], FaultyPort, Good.PortPaths()[1], Good.PortPaths()[2]};
  std::string Out, Err;
  EXPECT_EQ(RunProgram(Upload(Ports, C.CliArgs), &Out, &Err, Dir.Path()), C.ExitStatus) << Err;
  EXPECT_NE(Err.find(FaultyPort + ": "), std::string::npos) << "the failure names its port:\n" << Err;
  ASSERT_EQ(Good.Wait(), 0);
  for (int d = 1; d <= 3; ++d) ExpectMemoryIsImage("mem-" + std::to_string(d) + ".bin");

  std::map<std::string, json> ByPort;
  for (const json& R : Records()) ByPort[R.at("port")] = R;
  ASSERT_EQ(ByPort.size(), 4u);
  for (const std::string& Port : Good.PortPaths()) ExpectGoodRecord(ByPort[Port], Port);
  const json& Failed = ByPort[FaultyPort];
  EXPECT_EQ(Failed.at("result"), C.Result);
  EXPECT_NE(Failed.at("message").get<std::string>().find(C.MessagePart), std::string::npos) << Failed;
  EXPECT_EQ(Failed.at("sha256"), ImageSha256);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Faults, CliOnePortFailing,
    ::testing::Values(
        TFailingPortCase{"WrongReply", {"--wrong-reply-at", "6"}, {}, 2, "reply-error", "Ошибка ответа"},
        // AA answers sync and address frames; the fourth data frame's checksum is C5.
        TFailingPortCase{"DataFrameAnsweredWithTheAck", {"--wrong-reply-at", "6", "--wrong-reply-byte", "AA"}, {}, 2,
                         "reply-error", "Ошибка ответа"},
        TFailingPortCase{"Silence", {"--silent-from", "6"}, {"--reply-timeout", "1"}, 3, "silent", "Устройство не отвечает"},
        TFailingPortCase{"HangUp", {"--hangup-at", "6"}, {}, 1, "port-error", "Input/output error"},
        TFailingPortCase{"PortThatDoesNotExist", {}, {}, 1, "port-error", "not found"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(CliProduction, TheStatusIsThatOfTheFirstFailingPortInCommandLineOrder) {
  // The wrong reply comes long before the reply time-out ends the silent one, but that one is listed first.
  TSimProcess Silent({"--once", "--hello-delay", "0", "--silent-from", "3"});
  TSimProcess Wrong({"--once", "--hello-delay", "0", "--wrong-reply-at", "3"});
  std::string Out, Err;
  EXPECT_EQ(RunProgram(Upload({Silent.PortPath(), Wrong.PortPath()}, {"--reply-timeout", "1"}), &Out, &Err, Dir.Path()),
            3)
      << Err;
}

TEST_F(CliProduction, RepeatProgramsBoardAfterBoardUntilSigint) {
  TSimProcess Sim({"--boards", "3", "--hello-delay", "50", "--memory", Dir.File("mem.bin")});
  TChildProcess Cli(Upload({Sim.PortPath()}, {"--repeat"}), Dir.Path(), Dir.File("out.txt"), Dir.File("err.txt"));
  ASSERT_TRUE(AwaitRecords(3)) << "three boards were not programmed";
  // The port now waits for a fourth board that never comes.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Cli.Signal(SIGINT);
  EXPECT_EQ(Cli.Wait(), 0);
  const std::vector<std::uint8_t> Out = ReadFile(Dir.File("out.txt"));
  const std::string Text(Out.begin(), Out.end());
  EXPECT_NE(Text.find("3 good, 0 failed"), std::string::npos) << Text;

  const std::vector<json> Lines = Records();
  ASSERT_EQ(Lines.size(), 3u);
  for (const json& R : Lines) ExpectGoodRecord(R, Sim.PortPath());
  for (int b = 1; b <= 3; ++b) ExpectMemoryIsImage("mem-b" + std::to_string(b) + ".bin");
}

TEST_F(CliProduction, AStopRequestDuringAnUploadLetsItFinish) {
  TSimProcess Sim({"--once", "--hello-delay", "0", "--bit-rate", "57600", "--memory", Dir.File("mem.bin")});
  TChildProcess Cli(Upload({Sim.PortPath()}, {"--repeat"}), Dir.Path(), Dir.File("out.txt"), Dir.File("err.txt"));
  // About a second of transfer at this rate: the request comes in the middle of it.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  Cli.Signal(SIGTERM);
  EXPECT_EQ(Cli.Wait(), 0);
  const std::vector<json> Lines = Records();
  ASSERT_EQ(Lines.size(), 1u);
  ExpectGoodRecord(Lines[0], Sim.PortPath());
  ASSERT_EQ(Sim.Wait(), 0);
  ExpectMemoryIsImage("mem.bin");
}

// On a terminal: one line per port, redrawn in place (the cursor goes back up as many lines as there
// are ports), each ending at 100 % and "done", then the summary.
TEST_F(CliProduction, OnATerminalEachPortHasALineRedrawnInPlace) {
  TSimProcess Sim({"--devices", "2", "--once", "--hello-delay", "0", "--bit-rate", "115200"}, 2);
  int Master = -1, Slave = -1;
  char Name[256] = {};
  ASSERT_EQ(::openpty(&Master, &Slave, Name, nullptr, nullptr), 0);
  TChildProcess Cli(Upload(Sim.PortPaths()), Dir.Path(), Name, Dir.File("err.txt"));
  ::close(Slave);  // the child has its own
  // Read while it runs, so that a full terminal never holds it up; the read fails once it has ended.
  std::string Screen;
  char Buf[4096];
  for (;;) {
    pollfd P{Master, POLLIN, 0};
    if (::poll(&P, 1, 60000) <= 0) break;
    const ssize_t N = ::read(Master, Buf, sizeof Buf);
    if (N <= 0) break;
    Screen.append(Buf, static_cast<std::size_t>(N));
  }
  const int Status = Cli.Wait();
  ::close(Master);
  ASSERT_EQ(Status, 0) << Screen;
  EXPECT_NE(Screen.find("\033[2A"), std::string::npos) << "the board goes back over its two lines";
  EXPECT_EQ(Screen.find("\033[3A"), std::string::npos) << "and never over more";
  const std::string Last = Screen.substr(Screen.rfind("\033[2A"));
  for (const std::string& Port : Sim.PortPaths()) {
    const std::size_t At = Last.find("\r" + Port + "  [####################] 100%");
    ASSERT_NE(At, std::string::npos) << Port << " has no line at 100 %:\n" << Last;
    const std::string Line = Last.substr(At, Last.find('\n', At) - At);
    EXPECT_NE(Line.find("frame " + std::to_string(kFrames) + "/" + std::to_string(kFrames)), std::string::npos) << Line;
    EXPECT_NE(Line.find("done"), std::string::npos) << Line;
  }
  EXPECT_NE(Last.find("Summary:"), std::string::npos) << Last;
}

TEST_F(CliProduction, TwoProcessesAppendToOneRecord) {
  TSimProcess Sim({"--devices", "2", "--boards", "6", "--hello-delay", "0"}, 2);
  // Each station in a folder of its own (two conversions of one HEX file in one folder at the same
  // moment make the slower one refuse to replace the image the other has just written).
  std::vector<std::string> Stations;
  for (const char* Name : {"station1", "station2"}) {
    std::filesystem::create_directory(Dir.File(Name));
    std::filesystem::copy_file(Dir.File("fw.hex"), Dir.File(std::string(Name) + "/fw.hex"));
    Stations.push_back(Dir.File(Name));
  }
  const auto Station = [&](const std::string& Port) {
    return std::vector<std::string>{CliPath(), "upload", "--port", Port, "--repeat", "--log", Dir.File("uploads.jsonl"),
                                    "fw.hex"};
  };
  TChildProcess First(Station(Sim.PortPaths()[0]), Stations[0], Dir.File("out1.txt"), Dir.File("err1.txt"));
  TChildProcess Second(Station(Sim.PortPaths()[1]), Stations[1], Dir.File("out2.txt"), Dir.File("err2.txt"));
  ASSERT_TRUE(AwaitRecords(12));
  First.Signal(SIGINT);
  Second.Signal(SIGINT);
  EXPECT_EQ(First.Wait(), 0);
  EXPECT_EQ(Second.Wait(), 0);
  std::map<std::string, int> PerPort;
  for (const json& R : Records()) {
    ExpectGoodRecord(R, R.at("port"));
    ++PerPort[R.at("port")];
  }
  EXPECT_EQ(PerPort[Sim.PortPaths()[0]], 6);
  EXPECT_EQ(PerPort[Sim.PortPaths()[1]], 6);
}

}  // namespace
}  // namespace hexloader::test
