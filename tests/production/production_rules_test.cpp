// The production line's pure rules: its settings from either source, the stamp of a serial number
// into a board's image, list files, the next number of a sequence, the record lines and their times,
// the records' filter, and the store's connection string.
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "production/production_errors.h"
#include "production/production_settings.h"
#include "production/record_filter.h"
#include "production/record_row.h"
#include "production/record_time.h"
#include "production/serial_sequence.h"
#include "production/serial_stamp.h"
#include "production/store_connection.h"

namespace hexloader::production {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The process's time zone for the local-time cases (nullptr: the system's own again).
void SetZone(const char* Zone) {
#ifdef _WIN32
  _putenv_s("TZ", Zone ? Zone : "");
  _tzset();
#else
  if (Zone) ::setenv("TZ", Zone, 1);
  else ::unsetenv("TZ");
  ::tzset();
#endif
}
using TPairs = std::vector<std::pair<std::string, std::string>>;

// --- settings -------------------------------------------------------------------------------------

TProductionSettings ReadOptions(const TPairs& Options) {
  TProductionSettingsReader Reader(TSettingsSource::CommandLine);
  for (const auto& [Option, Value] : Options) {
    const TProductionKeyName* Key = FindProductionOption(Option);
    if (!Key) throw std::runtime_error("no option " + Option);
    Reader.Set(Key->Key, Value);
  }
  return Reader.Finish();
}

TProductionSettings ReadIni(const TPairs& Keys) {
  TProductionSettingsReader Reader(TSettingsSource::IniSection);
  for (const auto& [Key, Value] : Keys) {
    const TProductionKeyName* Name = FindProductionIniKey(Key);
    if (!Name) throw std::runtime_error("no key " + Key);
    Reader.Set(Name->Key, Value);
  }
  return Reader.Finish();
}

std::string RefusalOf(const TPairs& Options) {
  try {
    ReadOptions(Options);
  } catch (const EProductionSettingError& E) {
    return E.what();
  }
  return "";
}

TEST(ProductionSettings, TheCommandLineAndTheSettingsFileGiveTheSameValues) {
  const TProductionSettings FromOptions = ReadOptions({{"--station", "line2-desk4"},
                                                       {"--log", "uploads.jsonl"},
                                                       {"--serial-at", "0x7F00"},
                                                       {"--serial-size", "4"},
                                                       {"--serial-format", "be"},
                                                       {"--serial-start", "100000"},
                                                       {"--serial-step", "2"},
                                                       {"--serial-name", "board-a"}});
  // The keys of the settings file match without regard to case, take blanks around values, and an
  // empty value ("SerialList=") means "not set".
  const TProductionSettings FromIni = ReadIni({{"Station", "line2-desk4"},
                                               {"log", " uploads.jsonl "},
                                               {"SerialAt", "0x7F00"},
                                               {"SERIALSIZE", "4"},
                                               {"SerialFormat", "be"},
                                               {"SerialStart", "100000"},
                                               {"SerialStep", "2"},
                                               {"SerialList", ""},
                                               {"Store", ""},
                                               {"SerialName", "board-a"}});
  for (const TProductionSettings& S : {FromOptions, FromIni}) {
    EXPECT_EQ(S.Station, "line2-desk4");
    EXPECT_EQ(S.LogFile, "uploads.jsonl");
    EXPECT_EQ(S.Store, "");
    ASSERT_TRUE(S.Serial);
    EXPECT_EQ(S.Serial->Address, 0x7F00u);
    EXPECT_EQ(S.Serial->Size, 4);
    EXPECT_EQ(S.Serial->Format, TSerialFormat::BigEndian);
    EXPECT_EQ(S.Serial->Start, 100000u);
    EXPECT_EQ(S.Serial->Step, 2u);
    EXPECT_EQ(S.Serial->ListFile, "");
    EXPECT_EQ(S.Serial->Name, "board-a");
  }
}

TEST(ProductionSettings, DefaultsAreLittleEndianStepOneAndTheDefaultSequence) {
  const TProductionSettings S =
      ReadOptions({{"--store", "DSN=line1"}, {"--serial-at", "16"}, {"--serial-size", "2"}, {"--serial-start", "5"}});
  ASSERT_TRUE(S.Serial);
  EXPECT_EQ(S.Serial->Format, TSerialFormat::LittleEndian);
  EXPECT_EQ(S.Serial->Step, 1u);
  EXPECT_EQ(S.Serial->Name, kDefaultSequenceName);
  EXPECT_FALSE(ReadOptions({{"--log", "x"}}).Serial) << "no --serial-at: serial numbers off";
}

struct TRefusalCase {
  const char* Name;
  TPairs Options;
  const char* Message;
};
void PrintTo(const TRefusalCase& C, std::ostream* Out) { *Out << C.Name; }

class ProductionSettingsRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(ProductionSettingsRefusal, SaysWhatIsWrong) { EXPECT_EQ(RefusalOf(GetParam().Options), GetParam().Message); }

const TPairs kGood = {{"--log", "u.jsonl"}, {"--serial-at", "0x100"}, {"--serial-size", "2"}};
TPairs With(TPairs Options, const TPairs& More) {
  Options.insert(Options.end(), More.begin(), More.end());
  return Options;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ProductionSettingsRefusal,
    ::testing::Values(
        TRefusalCase{"GivenTwice", With(kGood, {{"--serial-size", "3"}}), "--serial-size is given twice"},
        TRefusalCase{"SizeNine", {{"--serial-size", "9"}}, "bad value '9' for --serial-size (1 to 8 bytes)"},
        TRefusalCase{"SizeNotANumber", {{"--serial-size", "4b"}}, "bad value '4b' for --serial-size (1 to 8 bytes)"},
        TRefusalCase{"AddressPastTheLimit", {{"--serial-at", "0xFFFF"}},
                     "bad value '0xFFFF' for --serial-at (an image address, 0 to 0xFFFE, decimal or 0x hexadecimal)"},
        TRefusalCase{"UnknownFormat", {{"--serial-format", "bcd"}}, "bad value 'bcd' for --serial-format (le, be or ascii)"},
        TRefusalCase{"StepZero", {{"--serial-step", "0"}},
                     "bad value '0' for --serial-step (a whole number of at least 1, decimal or 0x hexadecimal)"},
        TRefusalCase{"StartNegative", {{"--serial-start", "-1"}},
                     "bad value '-1' for --serial-start (a whole number, decimal or 0x hexadecimal)"},
        TRefusalCase{"EmptyValue", {{"--serial-list", ""}}, "--serial-list needs a value that is not empty"},
        TRefusalCase{"StationWithLineBreak", {{"--station", "a\nb"}},
                     "bad value 'a\nb' for --station (printable text of at most 100 bytes)"},
        TRefusalCase{"SizeWithoutAddress", {{"--log", "u"}, {"--serial-size", "2"}}, "--serial-size needs --serial-at ADDRESS"},
        TRefusalCase{"AddressWithoutSize", {{"--log", "u"}, {"--serial-at", "1"}, {"--serial-start", "1"}},
                     "--serial-at needs --serial-size N"},
        TRefusalCase{"NeitherStartNorList", kGood, "--serial-at needs --serial-start S or --serial-list FILE"},
        TRefusalCase{"StartAndList", With(kGood, {{"--serial-start", "1"}, {"--serial-list", "l.txt"}}),
                     "--serial-start and --serial-list cannot be used together"},
        TRefusalCase{"StepWithList", With(kGood, {{"--serial-list", "l.txt"}, {"--serial-step", "2"}}),
                     "--serial-step needs --serial-start S"},
        TRefusalCase{"NothingRemembers", {{"--serial-at", "0"}, {"--serial-size", "2"}, {"--serial-start", "1"}},
                     "serial numbers need --log FILE or --store CONNECTION: nothing else remembers which numbers "
                     "were given"},
        TRefusalCase{"FieldBeyondTheLargestImage", {{"--log", "u"}, {"--serial-at", "0xFFFC"}, {"--serial-size", "4"}, {"--serial-start", "1"}},
                     "the serial number's field at 0xFFFC (4 bytes) ends beyond the largest image (65,535 bytes, "
                     "addresses 0x0000 to 0xFFFE)"},
        TRefusalCase{"StartTooLargeForTheField", With(kGood, {{"--serial-start", "65536"}}),
                     "bad value '65536' for --serial-start (does not fit 2 bytes in format le: the largest is 65535)"},
        TRefusalCase{"StartTooLargeForAsciiDigits", With(kGood, {{"--serial-format", "ascii"}, {"--serial-start", "100"}}),
                     "bad value '100' for --serial-start (does not fit 2 bytes in format ascii: the largest is 99)"},
        TRefusalCase{"PasswordInTheStore", {{"--store", "DSN=line1; pwd = secret"}},
                     "--store must not hold a password (PWD=): give it in the DSN, in the driver's own configuration "
                     "or in the environment variable HEXLOADER_STORE_PASSWORD"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(ProductionSettings, TheSettingsFileNamesItsKeysInMessages) {
  TProductionSettingsReader Reader(TSettingsSource::IniSection);
  Reader.Set(TProductionKey::Log, "u.jsonl");
  Reader.Set(TProductionKey::SerialAt, "0x10");
  try {
    Reader.Set(TProductionKey::SerialSize, "12");
    FAIL() << "SerialSize=12 accepted";
  } catch (const EProductionSettingError& E) {
    EXPECT_STREQ(E.what(), "bad value '12' for SerialSize (1 to 8 bytes)");
  }
  try {
    Reader.Finish();
    FAIL() << "no SerialSize accepted";
  } catch (const EProductionSettingError& E) {
    EXPECT_STREQ(E.what(), "SerialAt needs SerialSize N");
  }
}

// --- the store's connection string ------------------------------------------------------------------

struct TConnectionCase {
  const char* Name;
  const char* Connection;
  bool Refused;
};
void PrintTo(const TConnectionCase& C, std::ostream* Out) { *Out << C.Name; }

class StoreConnectionPassword : public ::testing::TestWithParam<TConnectionCase> {};

TEST_P(StoreConnectionPassword, IsRefusedWhereverItStands) {
  bool Refused = false;
  try {
    CheckStoreConnection(GetParam().Connection, "--store");
  } catch (const EProductionSettingError&) {
    Refused = true;
  }
  EXPECT_EQ(Refused, GetParam().Refused);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, StoreConnectionPassword,
    ::testing::Values(
        TConnectionCase{"Dsn", "DSN=line1", false},
        TConnectionCase{"DriverInBraces", "Driver={PostgreSQL Unicode};Server=db;Database=line;UID=station", false},
        TConnectionCase{"PwdInsideBracesIsAValue", "Driver={odd;PWD=x};Server=db", false},
        TConnectionCase{"Pwd", "DSN=line1;PWD=secret", true},
        TConnectionCase{"PwdFirst", "pwd={se;cret};DSN=line1", true},
        TConnectionCase{"PasswordKeyword", "DSN=line1;Password=secret", true},
        TConnectionCase{"PwdAfterBracesWithDoubledBrace", "Driver={a}}b};PWD=x", true}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(StoreConnection, ThePasswordIsAddedInBracesWithItsBracesDoubled) {
  EXPECT_EQ(ConnectionWithPassword("DSN=line1", std::nullopt), "DSN=line1");
  EXPECT_EQ(ConnectionWithPassword("DSN=line1", std::string("a;b}c")), "DSN=line1;PWD={a;b}}c}");
  EXPECT_EQ(ConnectionWithPassword("DSN=line1;", std::string("x")), "DSN=line1;PWD={x}");
}

// --- the stamp --------------------------------------------------------------------------------------

struct TStampCase {
  const char* Name;
  TSerialFormat Format;
  int Size;
  TSerialValue Value;
  Bytes Expected;
};
void PrintTo(const TStampCase& C, std::ostream* Out) { *Out << C.Name; }

class SerialStampBytes : public ::testing::TestWithParam<TStampCase> {};

TEST_P(SerialStampBytes, AreTheNumberInItsFormatAndSize) {
  const TStampCase& C = GetParam();
  const TSerialField Field{0, C.Size, C.Format};
  ASSERT_TRUE(FitsField(Field, C.Value));
  EXPECT_EQ(SerialFieldBytes(Field, C.Value), C.Expected);
}

TSerialValue N(std::uint64_t Number, TSerialFormat Format = TSerialFormat::LittleEndian, int Width = 0) {
  return TSerialValue::OfNumber(Number, Format, Width);
}
constexpr auto LE = TSerialFormat::LittleEndian;
constexpr auto BE = TSerialFormat::BigEndian;
constexpr auto ASCII = TSerialFormat::Ascii;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, SerialStampBytes,
    ::testing::Values(
        TStampCase{"Le1", LE, 1, N(0xAB), {0xAB}},
        TStampCase{"Le2", LE, 2, N(0x1234), {0x34, 0x12}},
        TStampCase{"Le3", LE, 3, N(0x123456), {0x56, 0x34, 0x12}},
        TStampCase{"Le4", LE, 4, N(100000), {0xA0, 0x86, 0x01, 0x00}},
        TStampCase{"Le8Largest", LE, 8, N(0xFFFFFFFFFFFFFFFFull), Bytes(8, 0xFF)},
        TStampCase{"Be1", BE, 1, N(7), {0x07}},
        TStampCase{"Be2", BE, 2, N(0x1234), {0x12, 0x34}},
        TStampCase{"Be4", BE, 4, N(100000), {0x00, 0x01, 0x86, 0xA0}},
        TStampCase{"Be8", BE, 8, N(0x0102030405060708ull), {1, 2, 3, 4, 5, 6, 7, 8}},
        TStampCase{"Ascii1", ASCII, 1, N(7, ASCII, 1), {'7'}},
        TStampCase{"AsciiZeroPadded", ASCII, 6, N(42, ASCII, 6), {'0', '0', '0', '0', '4', '2'}},
        TStampCase{"Ascii8Full", ASCII, 8, N(99999999, ASCII, 8), Bytes(8, '9')},
        TStampCase{"AsciiText", ASCII, 4, TSerialValue::OfText("AB-7"), {'A', 'B', '-', '7'}},
        TStampCase{"AsciiDigitsOfAnotherWidth", ASCII, 4, TSerialValue::OfText("12"), {'0', '0', '1', '2'}}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(SerialStamp, NumbersThatDoNotFitTheFieldAreRefused) {
  EXPECT_FALSE(FitsField({0, 1, LE}, N(256)));
  EXPECT_TRUE(FitsField({0, 1, LE}, N(255)));
  EXPECT_FALSE(FitsField({0, 3, BE}, N(0x1000000)));
  EXPECT_FALSE(FitsField({0, 2, ASCII}, N(100, ASCII)));
  EXPECT_FALSE(FitsField({0, 4, ASCII}, TSerialValue::OfText("ABC")));
  EXPECT_THROW(StampedImage(Bytes(10, 0xFF), {0, 1, LE}, N(256)), Exception);
}

TEST(SerialStamp, OnlyTheCopyChangesAndOnlyAtTheField) {
  Bytes Image(32);
  for (std::size_t i = 0; i < Image.size(); ++i) Image[i] = static_cast<std::uint8_t>(i);
  for (int i = 8; i < 12; ++i) Image[static_cast<std::size_t>(i)] = 0xFF;
  const Bytes Before = Image;
  const Bytes Copy = StampedImage(Image, {8, 4, LE}, N(0x11223344));
  EXPECT_EQ(Image, Before) << "the converted image stays as it is";
  Bytes Expected = Before;
  Expected[8] = 0x44, Expected[9] = 0x33, Expected[10] = 0x22, Expected[11] = 0x11;
  EXPECT_EQ(Copy, Expected);
}

TEST(SerialStamp, BeyondTheImagesEndTheImageGrowsWith0xFF) {
  const Bytes Image = {1, 2, 3};
  const Bytes Copy = StampedImage(Image, {6, 2, BE}, N(0xABCD));
  EXPECT_EQ(Copy, (Bytes{1, 2, 3, 0xFF, 0xFF, 0xFF, 0xAB, 0xCD}));
  // Half inside, half beyond.
  EXPECT_EQ(StampedImage({1, 0xFF}, {1, 3, ASCII}, N(5, ASCII)), (Bytes{1, '0', '0', '5'}));
  // Up to the largest image: the field's last byte at 0xFFFE.
  const Bytes Largest = StampedImage({0}, {0xFFFC, 3, LE}, N(1));
  EXPECT_EQ(Largest.size(), 65535u);
  EXPECT_EQ(Largest[0xFFFC], 1);
  EXPECT_EQ(Largest[0xFFFB], 0xFF);
}

struct TBlankCase {
  const char* Name;
  Bytes Image;
  TSerialField Field;
  const char* Refusal;  // empty: accepted
};
void PrintTo(const TBlankCase& C, std::ostream* Out) { *Out << C.Name; }

class SerialFieldBlank : public ::testing::TestWithParam<TBlankCase> {};

TEST_P(SerialFieldBlank, IsRequiredNamingTheAddress) {
  const TBlankCase& C = GetParam();
  std::string Refusal;
  try {
    CheckSerialFieldBlank(C.Image, C.Field);
  } catch (const ESerialFieldNotBlank& E) {
    Refusal = E.what();
  }
  EXPECT_EQ(Refusal, C.Refusal);
}

Bytes BlankAt(std::size_t Size, std::size_t From, std::size_t To) {
  Bytes Image(Size, 0x00);
  for (std::size_t i = From; i < To && i < Size; ++i) Image[i] = 0xFF;
  return Image;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, SerialFieldBlank,
    ::testing::Values(
        TBlankCase{"BlankFieldInside", BlankAt(64, 16, 20), {16, 4, LE}, ""},
        TBlankCase{"FieldBeyondTheEnd", BlankAt(16, 0, 0), {16, 4, LE}, ""},
        TBlankCase{"BlankTailThenBeyond", BlankAt(18, 16, 18), {16, 4, LE}, ""},
        TBlankCase{"CodeUnderTheField", BlankAt(64, 16, 19), {16, 4, LE},
                   "the image is not blank (0xFF) where the serial number goes: 0x0013 holds 0x00 (field 0x0010, 4 "
                   "bytes); the firmware must reserve the field, or give another --serial-at"},
        TBlankCase{"FirstByteNamed", BlankAt(64, 0, 0), {0x20, 2, BE},
                   "the image is not blank (0xFF) where the serial number goes: 0x0020 holds 0x00 (field 0x0020, 2 "
                   "bytes); the firmware must reserve the field, or give another --serial-at"},
        TBlankCase{"LastImageByteBeforeTheEnd", BlankAt(17, 0, 0), {16, 4, LE},
                   "the image is not blank (0xFF) where the serial number goes: 0x0010 holds 0x00 (field 0x0010, 4 "
                   "bytes); the firmware must reserve the field, or give another --serial-at"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --- list files ---------------------------------------------------------------------------------------

TEST(SerialList, NumbersTextsBlankLinesAndLineEnds) {
  const auto Numbers = ParseSerialList(
      "\xEF\xBB\xBF"
      "100\r\n\n 0x65 \r\n102",
      {0, 2, LE}, "l.txt");
  ASSERT_EQ(Numbers.size(), 3u);
  EXPECT_EQ(Numbers[0].Number(), 100u);
  EXPECT_EQ(Numbers[1].Number(), 101u);
  EXPECT_EQ(Numbers[2].Number(), 102u);
  EXPECT_FALSE(Numbers[0].IsText());

  const auto Texts = ParseSerialList("SN-01\n7\nAB CD\n", {0, 5, ASCII}, "l.txt");
  ASSERT_EQ(Texts.size(), 3u);
  EXPECT_EQ(Texts[0].Text(), "SN-01");
  EXPECT_FALSE(Texts[0].Number());
  EXPECT_EQ(Texts[1].Text(), "00007") << "digits are a number, zero-padded";
  EXPECT_EQ(Texts[1].Number(), 7u);
  EXPECT_EQ(Texts[2].Text(), "AB CD");
}

struct TListRefusal {
  const char* Name;
  const char* Text;
  TSerialField Field;
  const char* Message;
};
void PrintTo(const TListRefusal& C, std::ostream* Out) { *Out << C.Name; }

class SerialListRefusal : public ::testing::TestWithParam<TListRefusal> {};

TEST_P(SerialListRefusal, NamesTheLine) {
  const TListRefusal& C = GetParam();
  try {
    ParseSerialList(C.Text, C.Field, "l.txt");
    FAIL() << "accepted";
  } catch (const ESerialListError& E) {
    EXPECT_STREQ(E.what(), C.Message);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, SerialListRefusal,
    ::testing::Values(
        TListRefusal{"NotANumber", "1\nx2\n", {0, 2, LE}, "l.txt, line 2: 'x2' is not a whole number (decimal or 0x hexadecimal)"},
        TListRefusal{"TooLarge", "1\n\n70000\n", {0, 2, BE}, "l.txt, line 3: '70000' does not fit 2 bytes (the largest is 65535)"},
        TListRefusal{"TooManyDigits", "123\n", {0, 2, ASCII}, "l.txt, line 1: '123' does not fit 2 bytes of digits"},
        TListRefusal{"TextOfAnotherLength", "ABC\n", {0, 4, ASCII}, "l.txt, line 1: 'ABC' has 3 characters; the field takes exactly 4"},
        TListRefusal{"NotAscii", "\xD0\x96Z\n", {0, 3, ASCII}, "l.txt, line 1: '\xD0\x96Z' holds a character that is not ASCII"},
        TListRefusal{"Twice", "5\n6\n0x5\n", {0, 1, LE}, "l.txt, line 3: '0x5' repeats line 1"},
        TListRefusal{"Empty", "\n \n", {0, 1, LE}, "l.txt: no serial numbers in the list"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// --- the next number ----------------------------------------------------------------------------------

TSerialSource Counting(std::uint64_t Start, std::uint64_t Step, int Size, TSerialFormat Format = LE) {
  TSerialSource S;
  S.Name = "board";
  S.Field = {0, Size, Format};
  S.Start = Start;
  S.Step = Step;
  return S;
}

TSequenceMemory Remembering(const std::vector<std::uint64_t>& Numbers) {
  TSequenceMemory M;
  for (const std::uint64_t Number : Numbers) M.Note(N(Number));
  return M;
}

TEST(NextSerial, IsTheLargerOfTheStartAndTheLargestTakenPlusTheStep) {
  EXPECT_EQ(NextSerial(Counting(100, 1, 4), {}).Number(), 100u) << "a new sequence begins at its start";
  EXPECT_EQ(NextSerial(Counting(100, 1, 4), Remembering({100, 101})).Number(), 102u);
  EXPECT_EQ(NextSerial(Counting(100, 5, 4), Remembering({100, 105, 103})).Number(), 110u) << "the largest counts";
  EXPECT_EQ(NextSerial(Counting(500, 1, 4), Remembering({100, 101})).Number(), 500u) << "a later start jumps ahead";
  EXPECT_EQ(NextSerial(Counting(7, 1, 2, ASCII), {}).Text(), "07");
}

TEST(NextSerial, ANumberThatDoesNotFitEndsTheSequence) {
  try {
    NextSerial(Counting(250, 3, 1), Remembering({254}));
    FAIL() << "257 in one byte";
  } catch (const ESerialSequenceEnded& E) {
    EXPECT_STREQ(E.what(),
                 "serial number 257 of sequence \"board\" does not fit 1 byte (the largest is 255): no more boards "
                 "are started");
  }
  EXPECT_EQ(NextSerial(Counting(250, 3, 1), Remembering({252})).Number(), 255u);
  EXPECT_THROW(NextSerial(Counting(1, 2, 8), Remembering({0xFFFFFFFFFFFFFFFEull})), ESerialSequenceEnded)
      << "beyond 2^64 - 1";
  EXPECT_THROW(NextSerial(Counting(1, 1, 2, ASCII), Remembering({99})), ESerialSequenceEnded);
}

TEST(NextSerial, AListGivesTheFirstValueNotYetTaken) {
  TSerialSource S = Counting(0, 1, 4, ASCII);
  S.ListFile = "l.txt";
  S.List = ParseSerialList("AAAA\n0010\nBBBB\n", S.Field, "l.txt");
  TSequenceMemory M;
  EXPECT_EQ(NextSerial(S, M).Text(), "AAAA");
  M.Note(TSerialValue::OfText("BBBB"));
  M.Note(TSerialValue::OfText("AAAA"));
  EXPECT_EQ(NextSerial(S, M).Text(), "0010");
  M.Note(N(10)) /* the same board's number, recorded as a number */;
  try {
    NextSerial(S, M);
    FAIL() << "the list is used up";
  } catch (const ESerialSequenceEnded& E) {
    EXPECT_STREQ(E.what(),
                 "every serial number of l.txt has been taken (sequence \"board\"): no more boards are started");
  }
}

// --- record lines and their times ---------------------------------------------------------------------

TEST(RecordLine, ATakenNumberAndAnUploadReadBackAsWritten) {
  const auto Time = std::chrono::system_clock::from_time_t(1781000000);
  const std::string Taken = FormatTakenRecord({Time, "ttyUSB1", "desk4", "board", N(100042)});
  EXPECT_NE(Taken.find("\"serial\":100042,\"result\":\"taken\"}\n"), std::string::npos) << Taken;
  const auto Row = ParseRecordLine(Taken.substr(0, Taken.size() - 1));
  ASSERT_TRUE(Row);
  EXPECT_EQ(Row->Result, "taken");
  EXPECT_EQ(Row->Station, "desk4");
  EXPECT_EQ(Row->Sequence, "board");
  EXPECT_EQ(Row->Serial->Number(), 100042u);
  EXPECT_FALSE(Row->File);
  EXPECT_EQ(FormatRecordLine(*Row), Taken);

  TUploadRecord U;
  U.Time = Time;
  U.Port = "COM5";
  U.Station = "desk4";
  U.File = "прошивка.hex";
  U.ImageBytes = 600;
  U.Sha256 = std::string(64, 'b');
  U.Sequence = "board";
  U.Serial = TSerialValue::OfNumber(42, ASCII, 6);
  U.Result = TUploadResult::ReplyError;
  U.Message = "Ошибка ответа";
  U.Seconds = 1.2345;
  U.Frames = 3;
  const std::string Upload = FormatUploadRecord(U);
  EXPECT_NE(Upload.find("\"sequence\":\"board\",\"serial\":\"000042\",\"result\":\"reply-error\""), std::string::npos)
      << "ascii serial numbers are recorded as their text: " << Upload;
  const auto Back = ParseRecordLine(Upload);
  ASSERT_TRUE(Back);
  EXPECT_EQ(FormatRecordLine(*Back), Upload);
  EXPECT_EQ(Back->Serial->Number(), 42u);
}

TEST(RecordLine, WhatIsNoRecordIsSkipped) {
  for (const char* Line : {"", "garbage", "{\"time\":\"x\"", "[1,2]", "{\"port\":\"a\"}", "{\"time\":\"t\"}"})
    EXPECT_FALSE(ParseRecordLine(Line)) << Line;
  // A line from before stations and serial numbers.
  const auto Old = ParseRecordLine(
      R"({"time":"2026-12-10T14:05:09.123+01:00","port":"ttyUSB1","file":"f.hex","image_bytes":2,"sha256":"ab","result":"ok","seconds":1.5,"frames":1})");
  ASSERT_TRUE(Old);
  EXPECT_FALSE(Old->Serial);
  EXPECT_EQ(Old->Station, "");
  EXPECT_EQ(Old->Frames, 1);
}

TEST(RecordTime, IsoTimesCompareAsUtc) {
  EXPECT_EQ(UtcMillisOfIsoTime("1970-01-01T00:00:00.000+00:00"), 0);
  EXPECT_EQ(UtcMillisOfIsoTime("2026-06-09T15:43:20.007+05:30"), 1781000000007);
  EXPECT_EQ(UtcMillisOfIsoTime("2026-06-09T05:13:20.007-05:00"), 1781000000007);
  EXPECT_EQ(UtcMillisOfIsoTime("2026-06-09T10:13:20Z"), 1781000000000);
  EXPECT_EQ(IsoUtcTime(1781000000007), "2026-06-09T10:13:20.007Z");
  for (const char* Bad : {"2026-06-09", "2026-06-09T10:13:20", "2026-13-09T10:13:20Z", "2026-06-09T10:13:20+0100",
                          "x2026-06-09T10:13:20Z", "2026-06-09T10:13:20Zjunk"})
    EXPECT_FALSE(UtcMillisOfIsoTime(Bad)) << Bad;
}

TEST(RecordTime, SinceIsALocalDateOrDateAndTime) {
  SetZone("EST+5");
  EXPECT_EQ(UtcMillisOfLocalDate("2026-06-09"), UtcMillisOfIsoTime("2026-06-09T00:00:00.000-05:00"));
  EXPECT_EQ(UtcMillisOfLocalDate("2026-06-09T14:05"), UtcMillisOfIsoTime("2026-06-09T14:05:00.000-05:00"));
  for (const char* Bad : {"2026-6-9", "2026-02-31", "2026-06-09T14", "2026-06-09T14:05:01", "yesterday", ""})
    EXPECT_FALSE(UtcMillisOfLocalDate(Bad)) << Bad;
  SetZone(nullptr);
}

// --- the records' filter ------------------------------------------------------------------------------

TRecordRow Row(const char* Time, const char* Port, const char* Result, std::optional<std::uint64_t> Serial,
               const char* Sequence = "board") {
  TRecordRow R;
  R.Time = Time;
  R.Port = Port;
  R.Result = Result;
  if (Serial) {
    R.Serial = N(*Serial);
    R.Sequence = Sequence;
  }
  return R;
}

TEST(RecordFilter, EachBoardShowsOnceAndAnUnfinishedBoardStaysTaken) {
  const std::vector<TRecordRow> Rows = {
      Row("2026-06-09T10:00:00.000Z", "p1", "taken", 1),
      Row("2026-06-09T10:00:01.000Z", "p2", "taken", 2),
      Row("2026-06-09T10:00:05.000Z", "p1", "ok", 1),
      Row("2026-06-09T10:00:06.000Z", "p1", "taken", 3),
      Row("2026-06-09T10:00:07.000Z", "p3", "taken", 1, "other"),  // another product's number 1
      Row("2026-06-09T10:00:09.000Z", "p1", "silent", 3),
      Row("2026-06-09T10:00:10.000Z", "p4", "ok", std::nullopt),
  };
  const auto Results = [](const std::vector<TRecordRow>& Selected) {
    std::string Text;
    for (const TRecordRow& R : Selected)
      Text += R.Port + ":" + R.Result + (R.Serial ? ":" + R.Serial->Text() : "") + " ";
    return Text;
  };
  EXPECT_EQ(Results(SelectRecords(Rows, {})), "p2:taken:2 p1:ok:1 p3:taken:1 p1:silent:3 p4:ok ");
  TRecordFilter Taken;
  Taken.Result = "taken";
  EXPECT_EQ(Results(SelectRecords(Rows, Taken)), "p2:taken:2 p3:taken:1 ");
  TRecordFilter Range;
  ASSERT_TRUE(Range.SetSerial("2-3"));
  EXPECT_EQ(Results(SelectRecords(Rows, Range)), "p2:taken:2 p1:silent:3 ");
  TRecordFilter One;
  ASSERT_TRUE(One.SetSerial("1"));
  One.Sequence = "board";
  EXPECT_EQ(Results(SelectRecords(Rows, One)), "p1:ok:1 ");
  TRecordFilter Since;
  Since.SinceUtcMillis = UtcMillisOfIsoTime("2026-06-09T10:00:06.000Z");
  Since.Port = "p1";
  EXPECT_EQ(Results(SelectRecords(Rows, Since)), "p1:silent:3 ");
  TRecordFilter Backwards;
  EXPECT_FALSE(Backwards.SetSerial("5-3"));
}

}  // namespace
}  // namespace hexloader::production
