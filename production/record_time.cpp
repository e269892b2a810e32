#include "production/record_time.h"

#include <cmath>
#include <cstdio>

#include "production/local_time.h"

namespace hexloader::production {
namespace {

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t Y, unsigned M, unsigned D) {
  Y -= M <= 2;
  const std::int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const unsigned Yoe = static_cast<unsigned>(Y - Era * 400);
  const unsigned Doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const unsigned Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
  return Era * 146097 + static_cast<std::int64_t>(Doe) - 719468;
}

// Reads Count digits at Pos into Out.
bool Digits(std::string_view Text, std::size_t Pos, std::size_t Count, int& Out) {
  if (Pos + Count > Text.size()) return false;
  Out = 0;
  for (std::size_t i = Pos; i < Pos + Count; ++i) {
    if (Text[i] < '0' || Text[i] > '9') return false;
    Out = Out * 10 + (Text[i] - '0');
  }
  return true;
}

struct TFields {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millis = 0;
};

// "YYYY-MM-DD" and, when present, "THH:MM[:SS[.mmm]]"; Pos is left after what was read.
bool ReadDateTime(std::string_view Text, TFields& F, std::size_t& Pos, bool& HasTime) {
  if (!Digits(Text, 0, 4, F.Year) || Text.size() < 10 || Text[4] != '-' || !Digits(Text, 5, 2, F.Month) ||
      Text[7] != '-' || !Digits(Text, 8, 2, F.Day))
    return false;
  if (F.Month < 1 || F.Month > 12 || F.Day < 1 || F.Day > 31) return false;
  Pos = 10;
  HasTime = Pos < Text.size() && (Text[Pos] == 'T' || Text[Pos] == ' ');
  if (!HasTime) return true;
  if (!Digits(Text, 11, 2, F.Hour) || Text.size() < 16 || Text[13] != ':' || !Digits(Text, 14, 2, F.Minute))
    return false;
  Pos = 16;
  if (Pos < Text.size() && Text[Pos] == ':') {
    if (!Digits(Text, 17, 2, F.Second)) return false;
    Pos = 19;
    if (Pos < Text.size() && Text[Pos] == '.') {
      std::size_t End = Pos + 1;
      while (End < Text.size() && Text[End] >= '0' && Text[End] <= '9') ++End;
      if (End == Pos + 1) return false;
      int Scale = 100;
      for (std::size_t i = Pos + 1; i < End && i < Pos + 4; ++i, Scale /= 10) F.Millis += (Text[i] - '0') * Scale;
      Pos = End;
    }
  }
  return F.Hour < 24 && F.Minute < 60 && F.Second < 61;
}

}  // namespace

std::string IsoLocalTime(std::chrono::system_clock::time_point Time) {
  using namespace std::chrono;
  const std::time_t Whole = system_clock::to_time_t(time_point_cast<seconds>(Time));
  const auto Millis = duration_cast<milliseconds>(Time - time_point_cast<seconds>(Time)).count();
  const std::tm Local = LocalCalendar(Whole);
  // The offset as a number ("%z" names the zone instead on some platforms).
  const long Offset = UtcOffsetSeconds(Whole, Local);
  const long Minutes = (Offset < 0 ? -Offset : Offset) / 60;
  char Stamp[32];
  std::strftime(Stamp, sizeof Stamp, "%Y-%m-%dT%H:%M:%S", &Local);
  char Text[80];
  std::snprintf(Text, sizeof Text, "%s.%03d%c%02d:%02d", Stamp, static_cast<int>(Millis < 0 ? 0 : Millis),
                Offset < 0 ? '-' : '+', static_cast<int>(Minutes / 60 % 100), static_cast<int>(Minutes % 60));
  return Text;
}

std::optional<std::int64_t> UtcMillisOfIsoTime(std::string_view Text) {
  TFields F;
  std::size_t Pos = 0;
  bool HasTime = false;
  if (!ReadDateTime(Text, F, Pos, HasTime) || !HasTime) return std::nullopt;
  std::int64_t OffsetMinutes = 0;
  if (Pos < Text.size() && Text[Pos] == 'Z') {
    ++Pos;
  } else if (Pos < Text.size() && (Text[Pos] == '+' || Text[Pos] == '-')) {
    int H = 0, M = 0;
    if (!Digits(Text, Pos + 1, 2, H) || Text.size() < Pos + 6 || Text[Pos + 3] != ':' || !Digits(Text, Pos + 4, 2, M))
      return std::nullopt;
    OffsetMinutes = (Text[Pos] == '-' ? -1 : 1) * (H * 60 + M);
    Pos += 6;
  } else {
    return std::nullopt;
  }
  if (Pos != Text.size()) return std::nullopt;
  const std::int64_t Days = DaysFromCivil(F.Year, static_cast<unsigned>(F.Month), static_cast<unsigned>(F.Day));
  const std::int64_t Seconds = Days * 86400 + F.Hour * 3600 + F.Minute * 60 + F.Second - OffsetMinutes * 60;
  return Seconds * 1000 + F.Millis;
}

std::string IsoUtcTime(std::int64_t UtcMillis) {
  const std::int64_t Millis = ((UtcMillis % 1000) + 1000) % 1000;
  const std::time_t Whole = static_cast<std::time_t>((UtcMillis - Millis) / 1000);
  const std::tm Utc = UtcCalendar(Whole);
  char Stamp[32];
  std::strftime(Stamp, sizeof Stamp, "%Y-%m-%dT%H:%M:%S", &Utc);
  char Text[48];
  std::snprintf(Text, sizeof Text, "%s.%03dZ", Stamp, static_cast<int>(Millis));
  return Text;
}

std::optional<std::int64_t> UtcMillisOfLocalDate(std::string_view Text) {
  TFields F;
  std::size_t Pos = 0;
  bool HasTime = false;
  if (!ReadDateTime(Text, F, Pos, HasTime) || Pos != Text.size() || F.Second != 0) return std::nullopt;
  if (HasTime && Text.size() != 16) return std::nullopt;  // minutes at most
  std::tm Local{};
  Local.tm_year = F.Year - 1900;
  Local.tm_mon = F.Month - 1;
  Local.tm_mday = F.Day;
  Local.tm_hour = F.Hour;
  Local.tm_min = F.Minute;
  Local.tm_isdst = -1;  // the zone's rule for that day
  const std::time_t Whole = std::mktime(&Local);
  if (Whole == static_cast<std::time_t>(-1)) return std::nullopt;
  // mktime normalises 31 February into March: such a date is refused.
  if (Local.tm_mday != F.Day || Local.tm_mon != F.Month - 1) return std::nullopt;
  return static_cast<std::int64_t>(Whole) * 1000;
}

}  // namespace hexloader::production
