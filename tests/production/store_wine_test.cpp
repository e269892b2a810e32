// The production stores as the Windows command line uses them, run under wine: the record file's
// journal through Windows' file locks, and the database store through wine's odbc32 (the wide ODBC
// functions, handed to the host's unixODBC and its PostgreSQL driver) against the PostgreSQL server
// that production_wine_test.sh started on the Linux side. HEXLOADER_TEST_STORE names the database.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/wide_text_win32.h"
#include "production/database_store.h"
#include "production/production_errors.h"
#include "production/record_file_store.h"

namespace hexloader::production {
namespace {

std::string Variable(const char* Name) {
  const wchar_t* Value = ::_wgetenv(WideFromUtf8(Name).c_str());
  return Value ? Utf8FromWide(Value) : std::string();
}

TSerialSource Counting(const std::string& Name, std::uint64_t Start) {
  TSerialSource S;
  S.Name = Name;
  S.Field = {0, 4, TSerialFormat::LittleEndian};
  S.Start = Start;
  return S;
}

TBoardPlace Here(const std::string& Port) { return {std::chrono::system_clock::now(), Port, "wine"}; }

// Two handles on one file (as two processes have) and threads on each: the lock is the file's.
TEST(RecordFileOnWindows, TwoHandlesAndTheirThreadsNeverShareANumber) {
  const std::filesystem::path Dir = std::filesystem::temp_directory_path() / L"журнал-hexloader";
  std::filesystem::create_directories(Dir);
  const std::string Path = Utf8FromWide((Dir / L"записи.jsonl").wstring());
  std::filesystem::remove(Dir / L"записи.jsonl");
  {
    TRecordFileStore First(Path, TRecordFile::TAccess::Append);
    TRecordFileStore Second(Path, TRecordFile::TAccess::Append);
    std::vector<std::vector<std::uint64_t>> Got(4);
    std::vector<std::thread> Threads;
    for (std::size_t t = 0; t < Got.size(); ++t)
      Threads.emplace_back([&, t] {
        TRecordFileStore& Store = t % 2 ? Second : First;
        for (int i = 0; i < 15; ++i) Got[t].push_back(*Store.TakeSerial(Counting("w", 7), Here("COM5")).Number());
      });
    for (auto& T : Threads) T.join();
    std::set<std::uint64_t> All;
    for (const auto& Mine : Got) All.insert(Mine.begin(), Mine.end());
    EXPECT_EQ(All.size(), 60u);
    EXPECT_EQ(*All.begin(), 7u);
    EXPECT_EQ(*All.rbegin(), 66u);
    // A restart reads the file and goes on.
    TRecordFileStore Later(Path, TRecordFile::TAccess::Append);
    EXPECT_EQ(Later.TakeSerial(Counting("w", 7), Here("COM6")).Number(), 67u);
    TRecordFilter Taken;
    Taken.Result = "taken";
    EXPECT_EQ(TRecordFileStore(Path, TRecordFile::TAccess::Read).ReadRecords(Taken).size(), 61u);
  }
  std::filesystem::remove_all(Dir);
}

class DatabaseThroughWine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Connection.empty()) GTEST_SKIP() << "HEXLOADER_TEST_STORE not set: no server";
  }
  const std::string Connection = Variable("HEXLOADER_TEST_STORE");
};

TEST_F(DatabaseThroughWine, NumbersAndRecordsGoThroughTheWideFunctions) {
  TDatabaseStore Store(Connection, TStoreUse::Production);
  const std::string Sequence = "изделие-" + std::to_string(::GetTickCount());
  std::vector<std::uint64_t> Numbers;
  for (int i = 0; i < 3; ++i) Numbers.push_back(*Store.TakeSerial(Counting(Sequence, 500), Here("COM5")).Number());
  EXPECT_EQ(Numbers, (std::vector<std::uint64_t>{500, 501, 502}));

  TUploadRecord R;
  R.Time = std::chrono::system_clock::now();
  R.Port = "COM5";
  R.Station = "участок-wine";
  R.File = "C:\\прошивки\\плата.hex";
  R.ImageBytes = 600;
  R.Sha256 = std::string(64, 'e');
  R.Sequence = Sequence;
  R.Serial = TSerialValue::OfNumber(502, TSerialFormat::LittleEndian, 4);
  R.Result = TUploadResult::ReplyError;
  R.Message = "Ошибка ответа";
  R.Seconds = 2.5;
  R.Frames = 4;
  Store.WriteUpload(R);

  TRecordFilter Mine;
  Mine.Sequence = Sequence;
  const auto Rows = Store.ReadRecords(Mine);
  ASSERT_EQ(Rows.size(), 3u) << "500 and 501 taken, 502 uploaded";
  EXPECT_EQ(Rows[0].Result, "taken");
  EXPECT_EQ(FormatRecordLine(Rows[2]), FormatUploadRecord(R)) << "Cyrillic text survives UTF-16 both ways";
}

TEST_F(DatabaseThroughWine, WithoutThePasswordTheServerRefusesClearly) {
  const std::string Password = Variable("HEXLOADER_STORE_PASSWORD");
  ::_wputenv_s(L"HEXLOADER_STORE_PASSWORD", L"");
  try {
    TDatabaseStore Store(Connection, TStoreUse::Production);
    ADD_FAILURE() << "connected without the password";
  } catch (const EStoreError& E) {
    EXPECT_EQ(std::string(E.what()).rfind("record store: cannot connect to the database: [", 0), 0u) << E.what();
  }
  ::_wputenv_s(L"HEXLOADER_STORE_PASSWORD", WideFromUtf8(Password).c_str());
}

}  // namespace
}  // namespace hexloader::production
