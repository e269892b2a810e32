// Threads of one process taking numbers from one store at once, as the production line's ports do
// off its loop thread (also under ThreadSanitizer).
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "production/record_file_store.h"
#include "tests/upload/session_fixture.h"

namespace hexloader::test {
namespace {

// Two stores on one file (two open files, as two processes have) and two threads on each, with uploads
// recorded in between.
TEST(RecordJournal, ThreadsOfOneProcessNeverShareANumber) {
  TTempDir Dir;
  const std::string Path = Dir.File("uploads.jsonl");
  production::TRecordFileStore First(Path, production::TRecordFile::TAccess::Append);
  production::TRecordFileStore Second(Path, production::TRecordFile::TAccess::Append);
  production::TSerialSource Source;
  Source.Name = "threads";
  Source.Field = {0, 2, production::TSerialFormat::LittleEndian};
  Source.Start = 1;
  std::vector<std::vector<std::uint64_t>> Got(4);
  std::vector<std::thread> Threads;
  for (std::size_t t = 0; t < Got.size(); ++t)
    Threads.emplace_back([&, t] {
      production::TRecordFileStore& Store = t % 2 ? Second : First;
      for (int i = 0; i < 20; ++i) {
        const auto Value = Store.TakeSerial(Source, {std::chrono::system_clock::now(), "p", "s"});
        Got[t].push_back(*Value.Number());
        production::TUploadRecord Record;
        Record.Time = std::chrono::system_clock::now();
        Record.Sequence = Source.Name;
        Record.Serial = Value;
        Store.WriteUpload(Record);
      }
    });
  for (auto& T : Threads) T.join();
  std::set<std::uint64_t> All;
  for (const auto& Mine : Got) All.insert(Mine.begin(), Mine.end());
  EXPECT_EQ(All.size(), 80u);
  EXPECT_EQ(*All.begin(), 1u);
  EXPECT_EQ(*All.rbegin(), 80u);
  production::TRecordFilter Unfinished;
  Unfinished.Result = "taken";
  EXPECT_TRUE(First.ReadRecords(Unfinished).empty());
  EXPECT_EQ(First.ReadRecords({}).size(), 80u);
}

}  // namespace
}  // namespace hexloader::test
