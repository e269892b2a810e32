// The upload record's parts on their own: the image fingerprint, the JSON line and its time stamp,
// and the record file shared by several writers.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/upload/session_fixture.h"
#include "tools/cli/image_digest.h"
#include "tools/cli/upload_log_file.h"
#include "tools/cli/upload_record.h"

namespace hexloader::test {
namespace {

using cli::TUploadRecord;
using cli::TUploadResult;

struct TDigestCase {
  const char* Name;
  std::string Input;
  const char* Hex;
};
void PrintTo(const TDigestCase& C, std::ostream* Out) { *Out << C.Name; }

class ImageDigest : public ::testing::TestWithParam<TDigestCase> {};

TEST_P(ImageDigest, IsTheStandardSha256InLowerCaseHex) {
  const std::vector<std::uint8_t> Bytes(GetParam().Input.begin(), GetParam().Input.end());
  EXPECT_EQ(cli::Sha256Hex(Bytes), GetParam().Hex);
}

// Published test vectors of SHA-256.
// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Vectors, ImageDigest,
    ::testing::Values(
        TDigestCase{"Empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        TDigestCase{"Abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        TDigestCase{"TwoBlocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                    "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TUploadRecord Sample(TUploadResult Result, const std::string& Message) {
  TUploadRecord R;
  R.Time = std::chrono::system_clock::from_time_t(1781000000) + std::chrono::milliseconds(250);
  R.Port = "/dev/ttyUSB1";
  R.File = "fw/\"quoted\" name.hex";
  R.ImageBytes = 20000;
  R.Sha256 = std::string(64, 'a');
  R.Result = Result;
  R.Message = Message;
  R.Seconds = 10.4567;
  R.Frames = 157;
  return R;
}

struct TRecordCase {
  const char* Name;
  TUploadResult Result;
  const char* Message;
  const char* ResultText;
  bool HasMessage;
};
void PrintTo(const TRecordCase& C, std::ostream* Out) { *Out << C.Name; }

class UploadRecordLine : public ::testing::TestWithParam<TRecordCase> {};

TEST_P(UploadRecordLine, IsOneJsonObjectOnOneLineWithEveryField) {
  const TRecordCase& C = GetParam();
  const std::string Line = cli::FormatUploadRecord(Sample(C.Result, C.Message));
  ASSERT_FALSE(Line.empty());
  EXPECT_EQ(Line.back(), '\n');
  EXPECT_EQ(Line.find('\n'), Line.size() - 1) << "one line per upload";
  const auto J = nlohmann::json::parse(Line);
  EXPECT_EQ(J.at("port"), "/dev/ttyUSB1");
  EXPECT_EQ(J.at("file"), "fw/\"quoted\" name.hex");
  EXPECT_EQ(J.at("image_bytes"), 20000);
  EXPECT_EQ(J.at("sha256"), std::string(64, 'a'));
  EXPECT_EQ(J.at("result"), C.ResultText);
  EXPECT_EQ(J.contains("message"), C.HasMessage);
  if (C.HasMessage) {
    EXPECT_EQ(J.at("message"), C.Message);
  }
  EXPECT_DOUBLE_EQ(J.at("seconds").get<double>(), 10.457);
  EXPECT_EQ(J.at("frames"), 157);
  EXPECT_TRUE(J.at("time").is_string());
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Results, UploadRecordLine,
    ::testing::Values(TRecordCase{"OkHasNoMessage", TUploadResult::Ok, "", "ok", false},
                      TRecordCase{"ReplyError", TUploadResult::ReplyError, "Ошибка ответа", "reply-error", true},
                      TRecordCase{"Silent", TUploadResult::Silent, "no answer", "silent", true},
                      TRecordCase{"PortError", TUploadResult::PortError, "Specified device not found (/dev/x).",
                                  "port-error", true},
                      TRecordCase{"Interrupted", TUploadResult::Interrupted, "abandoned", "interrupted", true}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(UploadRecordLine, AFileNameThatIsNotUtf8StillGivesValidJson) {
  TUploadRecord R = Sample(TUploadResult::Ok, "");
  R.File = "fw\xff\xfe.hex";
  const auto J = nlohmann::json::parse(cli::FormatUploadRecord(R));
  EXPECT_EQ(J.at("file"), "fw\xEF\xBF\xBD\xEF\xBF\xBD.hex");
}

// The time zone is the process's own: each row runs in a child with TZ set, so no other test sees it.
struct TTimeCase {
  const char* Name;
  const char* Zone;
  const char* Expected;
};
void PrintTo(const TTimeCase& C, std::ostream* Out) { *Out << C.Name; }

class UploadRecordTime : public ::testing::TestWithParam<TTimeCase> {};

TEST_P(UploadRecordTime, IsIso8601WithTheZonesOffset) {
  const TTimeCase& C = GetParam();
  const auto Time = std::chrono::system_clock::from_time_t(1781000000) + std::chrono::milliseconds(7);
  const pid_t Child = ::fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    ::setenv("TZ", C.Zone, 1);
    ::tzset();
    std::_Exit(cli::IsoLocalTime(Time) == C.Expected ? 0 : 1);
  }
  int Status = 0;
  ::waitpid(Child, &Status, 0);
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "expected " << C.Expected;
}

// 1781000000 is 2026-06-09 10:13:20 UTC.
// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Zones, UploadRecordTime,
    ::testing::Values(TTimeCase{"Utc", "UTC0", "2026-06-09T10:13:20.007+00:00"},
                      TTimeCase{"HalfHourAhead", "IST-5:30", "2026-06-09T15:43:20.007+05:30"},
                      TTimeCase{"Behind", "EST+5", "2026-06-09T05:13:20.007-05:00"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(UploadLogFile, AppendsBehindWhatIsThereAndCreatesAMissingFile) {
  TTempDir Dir;
  const std::string Path = Dir.File("uploads.jsonl");
  { std::ofstream(Path) << "{\"earlier\":1}\n"; }
  cli::TUploadLogFile Log(Path);
  Log.Append("{\"a\":1}\n");
  Log.Append("{\"b\":2}\n");
  std::ifstream In(Path);
  const std::string Text((std::istreambuf_iterator<char>(In)), {});
  EXPECT_EQ(Text, "{\"earlier\":1}\n{\"a\":1}\n{\"b\":2}\n");
}

TEST(UploadLogFile, AFileThatCannotBeOpenedIsRefusedAtOnce) {
  TTempDir Dir;
  EXPECT_THROW(cli::TUploadLogFile(Dir.File("no-such-folder/uploads.jsonl")), std::exception);
}

// Writers in several processes, each appending many lines at once: every line must come out whole.
TEST(UploadLogFile, LinesOfSeveralProcessesNeverInterleave) {
  TTempDir Dir;
  const std::string Path = Dir.File("uploads.jsonl");
  constexpr int kWriters = 4, kLines = 300;
  std::vector<pid_t> Children;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      cli::TUploadLogFile Log(Path);
      // Long lines, so that a line written in pieces would show.
      for (int i = 0; i < kLines; ++i)
        Log.Append("{\"writer\":" + std::to_string(w) + ",\"pad\":\"" + std::string(3000, static_cast<char>('a' + w)) +
                   "\"}\n");
      std::_Exit(0);
    }
    Children.push_back(Child);
  }
  for (pid_t Child : Children) {
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  }
  std::ifstream In(Path);
  std::string Line;
  int Count[kWriters] = {};
  while (std::getline(In, Line)) {
    const auto J = nlohmann::json::parse(Line, nullptr, false);
    ASSERT_FALSE(J.is_discarded()) << "a broken line: " << Line.substr(0, 80);
    const int w = J.at("writer");
    EXPECT_EQ(J.at("pad"), std::string(3000, static_cast<char>('a' + w)));
    ++Count[w];
  }
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(Count[w], kLines) << "writer " << w;
}

}  // namespace
}  // namespace hexloader::test
