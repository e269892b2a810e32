// The record file as the sequences' journal, with real processes sharing it: numbers distinct and
// consecutive across processes, a list file used in order and to its end, a process killed between
// taking a number and recording its board, a restart, and the upload lines a run writes around them.
#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "production/production_errors.h"
#include "production/record_file_store.h"
#include "tests/production/taker_processes.h"
#include "tests/upload/record_lines.h"

namespace hexloader::test {
namespace {

using nlohmann::json;

std::vector<std::string> SerialArgs(const std::string& Log, const std::string& Station) {
  return {"--log",         Log, "--station",      Station, "--serial-at",   "0x100",
          "--serial-size", "4", "--serial-start", "1000",  "--serial-step", "3"};
}

std::vector<std::uint64_t> Numbers(const std::vector<std::string>& Texts) {
  std::vector<std::uint64_t> Out;
  for (const std::string& T : Texts) Out.push_back(std::stoull(T));
  return Out;
}

TEST(RecordJournal, ThreeProcessesOnOneFileTakeDistinctConsecutiveNumbers) {
  TTempDir Dir;
  const std::string Log = Dir.File("uploads.jsonl");
  constexpr int kEach = 25;
  std::vector<TTaker> Takers;
  for (const char* Station : {"a", "b", "c"}) {
    auto Args = SerialArgs(Log, Station);
    Args.insert(Args.end(), {"--count", std::to_string(kEach), "--port", std::string("tty-") + Station});
    Takers.push_back(StartTaker(Dir, Station, Args));
  }
  std::vector<std::uint64_t> All;
  for (TTaker& T : Takers) {
    ASSERT_EQ(T.Process->Wait(), 0) << T.Errors();
    const auto Mine = Numbers(T.Printed());
    EXPECT_EQ(Mine.size(), static_cast<std::size_t>(kEach));
    EXPECT_TRUE(std::is_sorted(Mine.begin(), Mine.end())) << "one process's numbers rise";
    All.insert(All.end(), Mine.begin(), Mine.end());
  }
  std::sort(All.begin(), All.end());
  ASSERT_EQ(All.size(), 3u * kEach);
  for (std::size_t i = 0; i < All.size(); ++i) EXPECT_EQ(All[i], 1000 + 3 * i) << "distinct and consecutive";

  // Each number: its taken line, from the station that printed it, then its upload line.
  const std::vector<json> Lines = ReadRecordLines(Log);
  ASSERT_EQ(Lines.size(), 2u * All.size());
  std::set<std::uint64_t> Taken, Recorded;
  for (const json& L : Lines) {
    ASSERT_TRUE(L.contains("serial")) << L;
    EXPECT_EQ(L.at("sequence"), "default");
    const std::uint64_t Serial = L.at("serial");
    if (L.at("result") == "taken") {
      EXPECT_FALSE(Recorded.count(Serial)) << "the upload line follows its taken line";
      EXPECT_TRUE(Taken.insert(Serial).second) << Serial << " taken twice";
      EXPECT_EQ(L.at("port"), "tty-" + L.at("station").get<std::string>());
    } else {
      EXPECT_EQ(L.at("result"), "ok");
      EXPECT_TRUE(Recorded.insert(Serial).second);
    }
  }
  EXPECT_EQ(Taken, Recorded);
}

TEST(RecordJournal, AKilledProcessesNumberStaysTakenAndVisible) {
  TTempDir Dir;
  const std::string Log = Dir.File("uploads.jsonl");
  auto Args = SerialArgs(Log, "desk1");
  Args.insert(Args.end(), {"--count", "1", "--hold-ms", "60000"});
  TTaker Killed = StartTaker(Dir, "killed", Args);
  ASSERT_TRUE(Killed.AwaitPrinted(1)) << Killed.Errors();
  Killed.Process->Signal(SIGKILL);  // between taking the number and recording the board
  EXPECT_EQ(Killed.Process->Wait(), 128 + SIGKILL);
  const std::string Burned = Killed.Printed().front();
  EXPECT_EQ(Burned, "1000");

  // A restart continues after it: the file alone remembers.
  auto Again = SerialArgs(Log, "desk1");
  Again.insert(Again.end(), {"--count", "2"});
  TTaker Next = StartTaker(Dir, "next", Again);
  ASSERT_EQ(Next.Process->Wait(), 0) << Next.Errors();
  EXPECT_EQ(Next.Printed(), (std::vector<std::string>{"1003", "1006"}));

  // The records show the killed board's number as taken, with no upload.
  std::string Out, Err;
  ASSERT_EQ(RunProgram({CliPath(), "records", "--log", Log, "--result", "taken", "--json"}, &Out, &Err), 0) << Err;
  const json Shown = json::parse(Out);
  ASSERT_EQ(Shown.size(), 1u) << Out;
  EXPECT_EQ(Shown[0].at("serial"), 1000);
  EXPECT_EQ(Shown[0].at("station"), "desk1");
}

TEST(RecordJournal, AListIsUsedInOrderByEveryProcessAndItsEndStopsThem) {
  TTempDir Dir;
  const std::string Log = Dir.File("uploads.jsonl");
  {
    std::ofstream List(Dir.File("serials.txt"));
    for (int i = 0; i < 12; ++i) List << "SN" << static_cast<char>('A' + i) << "\n";
  }
  // A value of the list already taken (by an earlier run) is skipped.
  production::TRecordFileStore(Log, production::TRecordFile::TAccess::Append)
      .AppendLine(
          R"({"time":"2026-01-01T00:00:00.000+00:00","port":"p","sequence":"tags","serial":"SNC","result":"taken"})"
          "\n");
  std::vector<TTaker> Takers;
  for (const char* Station : {"a", "b", "c"})
    Takers.push_back(
        StartTaker(Dir, Station,
                   {"--log", Log, "--station", Station, "--serial-at", "0", "--serial-size", "3", "--serial-format",
                    "ascii", "--serial-list", "serials.txt", "--serial-name", "tags", "--count", "20"}));
  std::vector<std::string> All;
  for (TTaker& T : Takers) {
    EXPECT_EQ(T.Process->Wait(), 3) << "each ran to the list's end: " << T.Output() << T.Errors();
    EXPECT_NE(T.Output().find("ended: every serial number of serials.txt has been taken (sequence \"tags\")"),
              std::string::npos)
        << T.Output();
    const auto Mine = T.Printed();
    All.insert(All.end(), Mine.begin(), Mine.end());
  }
  std::sort(All.begin(), All.end());
  EXPECT_EQ(All,
            (std::vector<std::string>{"SNA", "SNB", "SND", "SNE", "SNF", "SNG", "SNH", "SNI", "SNJ", "SNK", "SNL"}));
}

// A power cut can leave the last line cut off: the next line must still be a line of its own, and the
// cut one (whose number was never given out) does not stop the journal.
TEST(RecordJournal, ALineCutOffByACrashNeitherSwallowsTheNextNorStopsTheSequence) {
  TTempDir Dir;
  const std::string Log = Dir.File("uploads.jsonl");
  {
    std::ofstream Out(Log);
    Out << R"({"time":"2026-01-01T00:00:00.000+00:00","port":"p","sequence":"default","serial":7,"result":"taken"})"
        << "\n"
        << R"({"time":"2026-01-01T00:00:01.000+00:00","port":"p","sequence":"default","ser)";
  }
  auto Args = SerialArgs(Log, "desk");
  Args.insert(Args.end(), {"--count", "1", "--no-upload"});
  TTaker T = StartTaker(Dir, "after", Args);
  ASSERT_EQ(T.Process->Wait(), 0) << T.Errors();
  EXPECT_EQ(T.Printed(), std::vector<std::string>{"1000"});
  std::ifstream In(Log);
  std::vector<std::string> Lines;
  for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
  ASSERT_EQ(Lines.size(), 3u);
  EXPECT_TRUE(json::parse(Lines[2]).at("serial") == 1000) << Lines[2];
}

}  // namespace
}  // namespace hexloader::test
