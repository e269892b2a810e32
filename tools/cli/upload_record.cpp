#include "tools/cli/upload_record.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

namespace hexloader::cli {

const char* ResultName(TUploadResult Result) {
  switch (Result) {
    case TUploadResult::Ok: return "ok";
    case TUploadResult::ReplyError: return "reply-error";
    case TUploadResult::Silent: return "silent";
    case TUploadResult::PortError: return "port-error";
    case TUploadResult::Interrupted: return "interrupted";
  }
  return "port-error";
}

std::string IsoLocalTime(std::chrono::system_clock::time_point Time) {
  using namespace std::chrono;
  const std::time_t Whole = system_clock::to_time_t(time_point_cast<seconds>(Time));
  const auto Millis = duration_cast<milliseconds>(Time - time_point_cast<seconds>(Time)).count();
  // Called on the user-interface thread only, so the shared results of localtime and gmtime are safe.
  const std::tm Local = *std::localtime(&Whole);
  // The offset from UTC as local time minus UTC, both read as local times ("%z" names the zone instead
  // on some platforms). The same daylight-saving flag keeps mktime from shifting either by an hour.
  std::tm Utc = *std::gmtime(&Whole);
  Utc.tm_isdst = Local.tm_isdst;
  std::tm LocalCopy = Local;
  const long Offset = std::lround(std::difftime(std::mktime(&LocalCopy), std::mktime(&Utc)));
  const long Minutes = (Offset < 0 ? -Offset : Offset) / 60;
  char Stamp[32];
  std::strftime(Stamp, sizeof Stamp, "%Y-%m-%dT%H:%M:%S", &Local);
  char Text[80];
  std::snprintf(Text, sizeof Text, "%s.%03d%c%02d:%02d", Stamp, static_cast<int>(Millis < 0 ? 0 : Millis),
                Offset < 0 ? '-' : '+', static_cast<int>(Minutes / 60 % 100), static_cast<int>(Minutes % 60));
  return Text;
}

std::string FormatUploadRecord(const TUploadRecord& R) {
  nlohmann::ordered_json Line;
  Line["time"] = IsoLocalTime(R.Time);
  Line["port"] = R.Port;
  Line["file"] = R.File;
  Line["image_bytes"] = R.ImageBytes;
  Line["sha256"] = R.Sha256;
  Line["result"] = ResultName(R.Result);
  if (R.Result != TUploadResult::Ok) Line["message"] = R.Message;
  Line["seconds"] = std::round(R.Seconds * 1000.0) / 1000.0;
  Line["frames"] = R.Frames;
  return Line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace hexloader::cli
