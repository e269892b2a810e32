#pragma once
// One line of the upload record (--log): what went into which board through which port, when, and
// whether it worked, as one JSON object on one line.
#include <chrono>
#include <cstdint>
#include <string>

namespace hexloader::cli {

// How one upload ended, as the record and the summary name it.
enum class TUploadResult {
  Ok,           // the end frame went out
  ReplyError,   // the device answered wrongly ("Ошибка ответа")
  Silent,       // the device stopped answering
  PortError,    // the port could not be opened, or failed or went away during the upload
  Interrupted,  // abandoned by a second SIGINT/SIGTERM while it ran
};

const char* ResultName(TUploadResult Result);  // "ok", "reply-error", "silent", "port-error", "interrupted"

struct TUploadRecord {
  std::chrono::system_clock::time_point Time;  // the start of the upload
  std::string Port;                            // as given on the command line
  std::string File;                            // the HEX file's path as given
  std::uint64_t ImageBytes = 0;
  std::string Sha256;  // of the image as sent, lower-case hexadecimal
  TUploadResult Result = TUploadResult::Ok;
  std::string Message;  // the text shown, for a failure; empty for ok
  double Seconds = 0;
  int Frames = 0;  // data frames sent
};

// The record as one JSON object and a newline: time (ISO 8601, local time with its offset, to the
// millisecond), port, file, image_bytes, sha256, result, message (failures only), seconds, frames.
// Text that is not valid UTF-8 (a file name) is written with replacement characters.
std::string FormatUploadRecord(const TUploadRecord& Record);

// "2026-12-10T14:05:09.123+01:00" for Time in the local time zone.
std::string IsoLocalTime(std::chrono::system_clock::time_point Time);

}  // namespace hexloader::cli
