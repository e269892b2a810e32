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
  // Called on the user-interface thread only, so the shared result of localtime is safe here.
  const std::tm Local = *std::localtime(&Whole);
  char Stamp[32], Zone[8];
  std::strftime(Stamp, sizeof Stamp, "%Y-%m-%dT%H:%M:%S", &Local);
  std::strftime(Zone, sizeof Zone, "%z", &Local);  // +hhmm; ISO 8601's extended form wants +hh:mm
  char Text[48];
  std::snprintf(Text, sizeof Text, "%s.%03d%.3s:%.2s", Stamp, static_cast<int>(Millis < 0 ? 0 : Millis), Zone, Zone + 3);
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
