// The database store against a real PostgreSQL server through unixODBC and the PostgreSQL driver:
// tables made on first use by stations starting at once, numbers taken by three stations at once,
// the server killed mid-run, records written and read back, and the password's ways in and out.
#include <stdlib.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "production/database_store.h"
#include "production/odbc_connection.h"
#include "production/production_errors.h"
#include "production/record_time.h"
#include "tests/production/postgres_server.h"
#include "tests/production/taker_processes.h"

namespace hexloader::test {
namespace {

using namespace hexloader::production;
using nlohmann::json;

std::vector<std::string> StationArgs(const std::string& Connection, const std::string& Station, int Count) {
  return {"--store", Connection,      "--station", Station,          "--port", "COM-" + Station, "--serial-at",
          "0x7F00",  "--serial-size", "4",         "--serial-start", "100000", "--count",        std::to_string(Count)};
}

std::vector<std::uint64_t> Numbers(const std::vector<std::string>& Texts) {
  std::vector<std::uint64_t> Out;
  for (const std::string& T : Texts) Out.push_back(std::stoull(T));
  return Out;
}

TSerialSource Counting(const std::string& Name, std::uint64_t Start) {
  TSerialSource S;
  S.Name = Name;
  S.Field = {0, 4, TSerialFormat::LittleEndian};
  S.Start = Start;
  return S;
}

class DatabaseStore : public ::testing::Test {
 protected:
  TPostgresServer Server;
  TTempDir Dir;
};

// Three stations reach a database that has no tables yet, at the same moment: one makes the tables,
// one inserts the sequence's first row, and every number is still given once, in order.
TEST_F(DatabaseStore, ThreeStationsAtOnceTakeDistinctConsecutiveNumbers) {
  const std::string Connection = Server.Connection(Server.NewDatabase());
  constexpr int kEach = 15;
  std::vector<TTaker> Stations;
  for (const char* Name : {"line1-a", "line1-b", "line1-c"})
    Stations.push_back(StartTaker(Dir, Name, StationArgs(Connection, Name, kEach)));
  std::vector<std::uint64_t> All;
  for (TTaker& S : Stations) {
    ASSERT_EQ(S.Process->Wait(), 0) << S.Errors();
    const auto Mine = Numbers(S.Printed());
    EXPECT_EQ(Mine.size(), static_cast<std::size_t>(kEach));
    All.insert(All.end(), Mine.begin(), Mine.end());
  }
  std::sort(All.begin(), All.end());
  for (std::size_t i = 0; i < All.size(); ++i) ASSERT_EQ(All[i], 100000 + i) << "distinct and consecutive";

  // Every number: one taken record and one upload record, from the station that printed it.
  TDatabaseStore Store(Connection, TStoreUse::Reading);
  TRecordFilter Everything;
  std::vector<TRecordRow> Raw;
  {
    TRecordFilter Taken;
    Taken.Result = "taken";
    EXPECT_TRUE(Store.ReadRecords(Taken).empty()) << "every taken number has its upload";
  }
  const auto Boards = Store.ReadRecords(Everything);
  ASSERT_EQ(Boards.size(), All.size());
  std::set<std::uint64_t> Seen;
  for (const TRecordRow& R : Boards) {
    EXPECT_EQ(R.Result, "ok");
    EXPECT_EQ(R.Port, "COM-" + R.Station);
    EXPECT_EQ(R.Sequence, "default");
    EXPECT_TRUE(Seen.insert(*R.Serial->Number()).second);
  }
}

TEST_F(DatabaseStore, ARecordReadsBackWithEveryField) {
  const std::string Connection = Server.Connection(Server.NewDatabase());
  TDatabaseStore Store(Connection, TStoreUse::Production);
  TUploadRecord R;
  R.Time = std::chrono::system_clock::from_time_t(1781000000) + std::chrono::milliseconds(250);
  R.Port = "/dev/ttyUSB1";
  R.Station = "участок-2";
  R.File = "прошивки/плата \"A\".hex";
  R.ImageBytes = 20000;
  R.Sha256 = std::string(64, 'c');
  R.Sequence = "tags";
  R.Serial = TSerialValue::OfText("SN-07");
  R.Result = TUploadResult::ReplyError;
  R.Message = "Ошибка ответа";
  R.Seconds = 10.4567;
  R.Frames = 157;
  Store.WriteUpload(R);
  TUploadRecord Big = R;
  Big.Serial = TSerialValue::OfNumber(0xFFFFFFFFFFFFFFFFull, TSerialFormat::BigEndian, 8);
  Big.Sequence = "big";
  Big.Result = TUploadResult::Ok;
  Store.WriteUpload(Big);

  const auto Rows = Store.ReadRecords({});
  ASSERT_EQ(Rows.size(), 2u);
  // Read back as the record file would hold it, byte for byte.
  EXPECT_EQ(FormatRecordLine(Rows[0]), FormatUploadRecord(R));
  EXPECT_EQ(FormatRecordLine(Rows[1]), FormatUploadRecord(Big)) << "a number of 64 bits survives";
  TRecordFilter ByText;
  ASSERT_TRUE(ByText.SetSerial("SN-07"));
  EXPECT_EQ(Store.ReadRecords(ByText).size(), 1u);
  TRecordFilter ByNumber;
  ASSERT_TRUE(ByNumber.SetSerial("18446744073709551615"));
  EXPECT_EQ(Store.ReadRecords(ByNumber).size(), 1u);
  TRecordFilter Since;
  Since.SinceUtcMillis = *UtcMillisOfIsoTime("2026-06-09T10:13:21Z");
  EXPECT_TRUE(Store.ReadRecords(Since).empty());
}

TEST_F(DatabaseStore, AListIsSharedAndItsEndStopsEveryStation) {
  const std::string Connection = Server.Connection(Server.NewDatabase());
  {
    std::ofstream List(Dir.File("list.txt"));
    for (int i = 1; i <= 8; ++i) List << 500 + i * 7 << "\n";
  }
  std::vector<TTaker> Stations;
  for (const char* Name : {"a", "b"})
    Stations.push_back(StartTaker(Dir, Name,
                                  {"--store", Connection, "--station", Name, "--serial-at", "0", "--serial-size", "2",
                                   "--serial-list", "list.txt", "--count", "20"}));
  std::vector<std::uint64_t> All;
  for (TTaker& S : Stations) {
    EXPECT_EQ(S.Process->Wait(), 3) << S.Output() << S.Errors();
    const auto Mine = Numbers(S.Printed());
    All.insert(All.end(), Mine.begin(), Mine.end());
  }
  std::sort(All.begin(), All.end());
  EXPECT_EQ(All, (std::vector<std::uint64_t>{507, 514, 521, 528, 535, 542, 549, 556}));
}

// The server dies under a running station: the station stops with a clear error and gives out no
// number it could not record; once the server is back, the next run continues with no repeat.
TEST_F(DatabaseStore, AServerKilledMidRunStopsTheStationAndTheNextRunRepeatsNothing) {
  TPostgresServer Own(true);
  const std::string Connection = Own.Connection(Own.NewDatabase());
  auto Args = StationArgs(Connection, "desk", 100000);
  Args.insert(Args.end(), {"--hold-ms", "20"});
  TTaker Station = StartTaker(Dir, "desk", Args);
  ASSERT_TRUE(Station.AwaitPrinted(5)) << Station.Errors();
  Own.Kill();
  EXPECT_EQ(Station.Process->Wait(), 1);
  const std::string Error = Station.Errors();
  EXPECT_TRUE(Error.rfind("record store: cannot take a serial number: [", 0) == 0 ||
              Error.rfind("record store: cannot write a record: [", 0) == 0)
      << Error;
  const auto Before = Numbers(Station.Printed());

  Own.Restart();
  auto Again = StationArgs(Connection, "desk", 3);
  TTaker Next = StartTaker(Dir, "again", Again);
  ASSERT_EQ(Next.Process->Wait(), 0) << Next.Errors();
  const auto After = Numbers(Next.Printed());
  ASSERT_EQ(After.size(), 3u);
  EXPECT_GT(After.front(), Before.back()) << "no number given out before the crash comes again";

  // Every number printed before the crash is in the store, each once.
  TDatabaseStore Store(Connection, TStoreUse::Reading);
  std::multiset<std::uint64_t> Stored;
  for (const TRecordRow& R : Store.ReadRecords({})) Stored.insert(*R.Serial->Number());
  for (const std::uint64_t N : Before) EXPECT_EQ(Stored.count(N), 1u) << N;
  for (const std::uint64_t N : After) EXPECT_EQ(Stored.count(N), 1u) << N;
}

TEST_F(DatabaseStore, ThePasswordComesFromTheEnvironmentOnly) {
  const std::string Database = Server.NewDatabase();
  // Without it, the server refuses: a clear message, not a prompt or a hang.
  ::unsetenv("HEXLOADER_STORE_PASSWORD");
  try {
    TDatabaseStore Store(Server.Connection(Database), TStoreUse::Production);
    FAIL() << "connected without a password";
  } catch (const EStoreError& E) {
    EXPECT_EQ(std::string(E.what()).rfind("record store: cannot connect to the database: [", 0), 0u) << E.what();
    EXPECT_NE(std::string(E.what()).find("password"), std::string::npos) << E.what();
  }
  // A password that needs the connection string's quoting (";" and "}") gets through it.
  {
    ::setenv("HEXLOADER_STORE_PASSWORD", Server.Password().c_str(), 1);
    TOdbcConnection Admin(Server.AdminConnection(Database), 10, 10);
    Admin.Execute("CREATE ROLE station LOGIN PASSWORD 'a;b}c=d'");
    Admin.Execute("GRANT ALL ON SCHEMA public TO station");
    Admin.Commit();
  }
  ::setenv("HEXLOADER_STORE_PASSWORD", "a;b}c=d", 1);
  TDatabaseStore Store(Server.DriverConnection(Database) + ";Username=station", TStoreUse::Production);
  EXPECT_EQ(Store.TakeSerial(Counting("p", 5), {std::chrono::system_clock::now(), "p", "s"}).Number(), 5u);
  ::setenv("HEXLOADER_STORE_PASSWORD", Server.Password().c_str(), 1);
}

TEST_F(DatabaseStore, AServerThatIsNotThereIsAClearError) {
  try {
    TDatabaseStore Store("Driver={HexloaderPostgreSQL};Servername=127.0.0.1;Port=1;Database=none;Username=hexloader",
                         TStoreUse::Production);
    FAIL() << "connected to nothing";
  } catch (const EStoreError& E) {
    EXPECT_EQ(std::string(E.what()).rfind("record store: cannot connect to the database: [08", 0), 0u) << E.what();
  }
}

TEST_F(DatabaseStore, TablesOfANewerProgramAreRefused) {
  const std::string Database = Server.NewDatabase();
  const std::string Connection = Server.Connection(Database);
  { TDatabaseStore Make(Connection, TStoreUse::Production); }
  {
    TOdbcConnection Admin(Server.AdminConnection(Database), 10, 10);
    Admin.Execute("UPDATE hexloader_schema SET version = 99");
    Admin.Commit();
  }
  try {
    TDatabaseStore Store(Connection, TStoreUse::Production);
    FAIL() << "schema 99 accepted";
  } catch (const EStoreError& E) {
    EXPECT_STREQ(E.what(),
                 "record store: its tables are of schema version 99, made by a newer hexloader (this one knows "
                 "version 1)");
  }
}

// The records command reads the same database; a connection string with a password is refused first.
TEST_F(DatabaseStore, TheRecordsCommandReadsTheStore) {
  const std::string Connection = Server.Connection(Server.NewDatabase());
  {
    TDatabaseStore Store(Connection, TStoreUse::Production);
    for (const char* Port : {"COM1", "COM2"})
      Store.TakeSerial(Counting("board", 40), {std::chrono::system_clock::now(), Port, "desk"});
  }
  std::string Out, Err;
  ASSERT_EQ(RunProgram({CliPath(), "records", "--store", Connection, "--json"}, &Out, &Err), 0) << Err;
  const json Shown = json::parse(Out);
  ASSERT_EQ(Shown.size(), 2u) << Out;
  EXPECT_EQ(Shown[1].at("serial"), 41);
  EXPECT_EQ(Shown[1].at("port"), "COM2");
  EXPECT_EQ(Shown[1].at("result"), "taken");
  EXPECT_EQ(RunProgram({CliPath(), "records", "--store", Connection + ";PWD=x"}, &Out, &Err), 1);
  EXPECT_NE(Err.find("--store must not hold a password (PWD=)"), std::string::npos) << Err;
}

}  // namespace
}  // namespace hexloader::test
