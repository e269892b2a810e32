#include "production/record_row.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "production/record_time.h"

namespace hexloader::production {

TRecordRow RowOf(const TUploadRecord& R) {
  TRecordRow Row;
  Row.Time = IsoLocalTime(R.Time);
  Row.Port = R.Port;
  Row.Station = R.Station;
  Row.Result = ResultName(R.Result);
  Row.File = R.File;
  Row.ImageBytes = R.ImageBytes;
  Row.Sha256 = R.Sha256;
  if (R.Serial) {
    Row.Sequence = R.Sequence;
    Row.Serial = R.Serial;
  }
  if (R.Result != TUploadResult::Ok) Row.Message = R.Message;
  Row.Seconds = std::round(R.Seconds * 1000.0) / 1000.0;
  Row.Frames = R.Frames;
  return Row;
}

TRecordRow RowOf(const TSerialTaken& T) {
  TRecordRow Row;
  Row.Time = IsoLocalTime(T.Time);
  Row.Port = T.Port;
  Row.Station = T.Station;
  Row.Result = kTakenResult;
  Row.Sequence = T.Sequence;
  Row.Serial = T.Serial;
  return Row;
}

std::string FormatRecordLine(const TRecordRow& R) {
  nlohmann::ordered_json Line;
  Line["time"] = R.Time;
  Line["port"] = R.Port;
  if (!R.Station.empty()) Line["station"] = R.Station;
  if (R.File) Line["file"] = *R.File;
  if (R.ImageBytes) Line["image_bytes"] = *R.ImageBytes;
  if (R.Sha256) Line["sha256"] = *R.Sha256;
  if (R.Serial) {
    Line["sequence"] = R.Sequence;
    if (R.Serial->IsText()) Line["serial"] = R.Serial->Text();
    else Line["serial"] = *R.Serial->Number();
  }
  Line["result"] = R.Result;
  if (R.Message) Line["message"] = *R.Message;
  if (R.Seconds) Line["seconds"] = *R.Seconds;
  if (R.Frames) Line["frames"] = *R.Frames;
  return Line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::optional<TRecordRow> ParseRecordLine(std::string_view Line) {
  const nlohmann::json J = nlohmann::json::parse(Line.begin(), Line.end(), nullptr, false);
  if (J.is_discarded() || !J.is_object()) return std::nullopt;
  const auto Text = [&](const char* Key) -> std::optional<std::string> {
    const auto It = J.find(Key);
    if (It == J.end() || !It->is_string()) return std::nullopt;
    return It->get<std::string>();
  };
  const auto Time = Text("time");
  const auto Result = Text("result");
  if (!Time || !Result) return std::nullopt;
  TRecordRow Row;
  Row.Time = *Time;
  Row.Result = *Result;
  Row.Port = Text("port").value_or("");
  Row.Station = Text("station").value_or("");
  Row.File = Text("file");
  Row.Sha256 = Text("sha256");
  Row.Message = Text("message");
  Row.Sequence = Text("sequence").value_or("");
  if (const auto It = J.find("image_bytes"); It != J.end() && It->is_number_unsigned())
    Row.ImageBytes = It->get<std::uint64_t>();
  if (const auto It = J.find("seconds"); It != J.end() && It->is_number()) Row.Seconds = It->get<double>();
  if (const auto It = J.find("frames"); It != J.end() && It->is_number_integer()) Row.Frames = It->get<std::int64_t>();
  if (const auto It = J.find("serial"); It != J.end()) {
    if (It->is_string()) Row.Serial = TSerialValue::OfText(It->get<std::string>());
    else if (It->is_number_unsigned())
      Row.Serial = TSerialValue::OfNumber(It->get<std::uint64_t>(), TSerialFormat::LittleEndian, 0);
  }
  return Row;
}

}  // namespace hexloader::production
