// hexloader-cli records over a record file: the aligned table, CSV and JSON, each filter, and the
// refusals of its arguments.
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

// A day on a line: an upload from before serial numbers, two boards with numbers, a board killed after
// its number was taken, a failed board, and another product's board.
const char* const kRecords =
    R"({"time":"2026-12-10T09:05:09.123+01:00","port":"ttyUSB1","file":"old.hex","image_bytes":600,"sha256":"11","result":"ok","seconds":0.5,"frames":5})"
    "\n"
    R"({"time":"2026-12-10T14:00:00.000+01:00","port":"ttyUSB1","station":"desk4","sequence":"board","serial":100,"result":"taken"})"
    "\n"
    R"({"time":"2026-12-10T14:00:00.500+01:00","port":"ttyUSB2","station":"desk5","sequence":"board","serial":101,"result":"taken"})"
    "\n"
    R"({"time":"2026-12-10T14:00:01.000+01:00","port":"ttyUSB1","station":"desk4","file":"fw.hex","image_bytes":600,"sha256":"aa","sequence":"board","serial":100,"result":"ok","seconds":10.1,"frames":5})"
    "\n"
    R"({"time":"2026-12-10T14:01:00.000+01:00","port":"ttyUSB1","station":"desk4","sequence":"board","serial":102,"result":"taken"})"
    "\n"
    R"({"time":"2026-12-10T14:01:02.000+01:00","port":"ttyUSB1","station":"desk4","file":"fw, \"new\".hex","image_bytes":600,"sha256":"bb","sequence":"board","serial":102,"result":"reply-error","message":"Ошибка ответа","seconds":1.25,"frames":2})"
    "\n"
    R"({"time":"2026-12-10T15:00:00.000+01:00","port":"ttyUSB3","station":"desk4","file":"tag.hex","image_bytes":600,"sha256":"cc","sequence":"tags","serial":"SN-A","result":"ok","seconds":1,"frames":5})"
    "\n";

class CliRecords : public ::testing::Test {
 protected:
  CliRecords() { std::ofstream(Dir.File("uploads.jsonl")) << kRecords; }

  int Records(const std::vector<std::string>& More, std::string& Out, std::string& Err) const {
    std::vector<std::string> Args = {CliPath(), "records", "--log", Dir.File("uploads.jsonl")};
    Args.insert(Args.end(), More.begin(), More.end());
    return RunProgram(Args, &Out, &Err);
  }

  // The serial numbers (or "-") of the JSON output, in order.
  std::string SerialsOf(const std::vector<std::string>& Filter) const {
    std::vector<std::string> More = Filter;
    More.push_back("--json");
    std::string Out, Err;
    EXPECT_EQ(Records(More, Out, Err), 0) << Err;
    std::string Text;
    for (const auto& R : nlohmann::json::parse(Out))
      Text += (R.contains("serial") ? R.at("serial").dump() : std::string("-")) + ":" +
              R.at("result").get<std::string>() + " ";
    return Text;
  }

  TTempDir Dir;
};

TEST_F(CliRecords, TheTableShowsOneAlignedRowPerBoard) {
  std::string Out, Err;
  ::setenv("TZ", "CET-1", 1);  // the child's zone: --since is local time
  ASSERT_EQ(Records({"--since", "2026-12-10T14:00", "--serial-name", "board"}, Out, Err), 0) << Err;
  ::unsetenv("TZ");
  EXPECT_EQ(Out,
            "TIME                           STATION  PORT     SEQUENCE  SERIAL  RESULT       FILE           SHA256  "
            "MESSAGE\n"
            "2026-12-10T14:00:00.500+01:00  desk5    ttyUSB2  board     101     taken        -              -       "
            "-\n"
            "2026-12-10T14:00:01.000+01:00  desk4    ttyUSB1  board     100     ok           fw.hex         aa      "
            "-\n"
            "2026-12-10T14:01:02.000+01:00  desk4    ttyUSB1  board     102     reply-error  fw, \"new\".hex  bb      "
            "Ошибка ответа\n");
}

TEST_F(CliRecords, CsvQuotesWhatNeedsItAndHasAHeader) {
  std::string Out, Err;
  ASSERT_EQ(Records({"--csv", "--serial", "102"}, Out, Err), 0) << Err;
  EXPECT_EQ(Out,
            "time,station,port,sequence,serial,result,file,image_bytes,sha256,seconds,frames,message\r\n"
            "2026-12-10T14:01:02.000+01:00,desk4,ttyUSB1,board,102,reply-error,\"fw, \"\"new\"\".hex\",600,bb,1.250,2,"
            "Ошибка ответа\r\n");
}

struct TFilterCase {
  const char* Name;
  std::vector<std::string> Filter;
  const char* Serials;
};
void PrintTo(const TFilterCase& C, std::ostream* Out) { *Out << C.Name; }

class CliRecordsFilter : public CliRecords, public ::testing::WithParamInterface<TFilterCase> {};

TEST_P(CliRecordsFilter, LetsThroughOnlyItsBoards) { EXPECT_EQ(SerialsOf(GetParam().Filter), GetParam().Serials); }

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, CliRecordsFilter,
    ::testing::Values(
        TFilterCase{"Everything", {}, "-:ok 101:taken 100:ok 102:reply-error \"SN-A\":ok "},
        TFilterCase{"OneNumber", {"--serial", "101"}, "101:taken "},
        TFilterCase{"ARange", {"--serial", "100-101"}, "101:taken 100:ok "},
        TFilterCase{"AHexadecimalRange", {"--serial", "0x65-0x66"}, "101:taken 102:reply-error "},
        TFilterCase{"AText", {"--serial", "SN-A"}, "\"SN-A\":ok "},
        TFilterCase{"UnfinishedBoards", {"--result", "taken"}, "101:taken "},
        TFilterCase{"FailedBoards", {"--result", "reply-error"}, "102:reply-error "},
        TFilterCase{"APort", {"--port", "ttyUSB1"}, "-:ok 100:ok 102:reply-error "},
        TFilterCase{"SinceADay", {"--since", "2026-12-11"}, ""},
        TFilterCase{"ASequence", {"--serial-name", "tags"}, "\"SN-A\":ok "}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(CliRecords, SinceIsLocalTime) {
  // The records were written at UTC+1: 14:00 there is 13:00 UTC.
  std::string Out, Err;
  ::setenv("TZ", "CET-1", 1);
  ASSERT_EQ(Records({"--since", "2026-12-10T14:00", "--json"}, Out, Err), 0) << Err;
  EXPECT_EQ(nlohmann::json::parse(Out).size(), 4u) << Out;
  ::setenv("TZ", "UTC0", 1);
  ASSERT_EQ(Records({"--since", "2026-12-10T14:00", "--json"}, Out, Err), 0) << Err;
  EXPECT_EQ(nlohmann::json::parse(Out).size(), 1u) << Out;
  ::unsetenv("TZ");
}

TEST_F(CliRecords, NoRecordsIsSaidAndIsNoError) {
  std::string Out, Err;
  ASSERT_EQ(Records({"--serial", "999"}, Out, Err), 0);
  EXPECT_EQ(Out, "No records.\n");
  ASSERT_EQ(Records({"--serial", "999", "--json"}, Out, Err), 0);
  EXPECT_EQ(Out, "[]\n");
}

struct TRefusalCase {
  const char* Name;
  std::vector<std::string> Args;
  const char* Message;
};
void PrintTo(const TRefusalCase& C, std::ostream* Out) { *Out << C.Name; }

class CliRecordsRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(CliRecordsRefusal, IsStatus1WithItsMessage) {
  std::vector<std::string> Args = {CliPath(), "records"};
  Args.insert(Args.end(), GetParam().Args.begin(), GetParam().Args.end());
  std::string Out, Err;
  EXPECT_EQ(RunProgram(Args, &Out, &Err), 1);
  EXPECT_EQ(Err.substr(0, Err.find('\n')), GetParam().Message);
  EXPECT_EQ(Out, "");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, CliRecordsRefusal,
    ::testing::Values(
        TRefusalCase{"NoSource", {}, "hexloader-cli records: give either --log FILE or --store CONNECTION"},
        TRefusalCase{"BothSources", {"--log", "a", "--store", "DSN=x"}, "hexloader-cli records: give either --log FILE or --store CONNECTION"},
        TRefusalCase{"MissingFile", {"--log", "/nonexistent/u.jsonl"},
                     "hexloader-cli: Cannot open file \"/nonexistent/u.jsonl\". No such file or directory."},
        TRefusalCase{"BackwardsRange", {"--log", "a", "--serial", "9-3"},
                     "hexloader-cli records: bad value '9-3' for --serial (a number N, or a range N-M with N <= M)"},
        TRefusalCase{"BadDate", {"--log", "a", "--since", "10.12.2026"},
                     "hexloader-cli records: bad value '10.12.2026' for --since (a local date 2026-12-10, or 2026-12-10T14:05)"},
        TRefusalCase{"UnknownResult", {"--log", "a", "--result", "good"},
                     "hexloader-cli records: bad value 'good' for --result (ok, reply-error, silent, port-error, interrupted or taken)"},
        TRefusalCase{"TwoFormats", {"--log", "a", "--csv", "--json"}, "hexloader-cli records: --csv and --json cannot be used together"},
        TRefusalCase{"UnknownOption", {"--log", "a", "--verbose"}, "hexloader-cli records: unknown option '--verbose'"},
        TRefusalCase{"PasswordInStore", {"--store", "DSN=x;PWD=y"},
                     "hexloader-cli records: --store must not hold a password (PWD=): give it in the DSN, in the "
                     "driver's own configuration or in the environment variable HEXLOADER_STORE_PASSWORD"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

}  // namespace
}  // namespace hexloader::test
