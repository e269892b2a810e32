#pragma once
// The records of the production line, one JSON object a line in the record file and one row in the
// database: a board's upload (what went into which board through which port, when, whether it
// worked) and a serial number taken for a board ("result":"taken"), written before the board starts.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "production/serial_value.h"

namespace hexloader::production {

// How one upload ended, as the record and the summary name it.
enum class TUploadResult {
  Ok,           // the end frame went out
  ReplyError,   // the device answered wrongly ("Ошибка ответа")
  Silent,       // the device stopped answering
  PortError,    // the port could not be opened, or failed or went away during the upload
  Interrupted,  // abandoned by a second SIGINT/SIGTERM while it ran
};

const char* ResultName(TUploadResult Result);  // "ok", "reply-error", "silent", "port-error", "interrupted"

// The result of a record that holds a serial number taken for a board.
inline constexpr const char* kTakenResult = "taken";

struct TUploadRecord {
  std::chrono::system_clock::time_point Time;  // the start of the upload
  std::string Port;                            // as given on the command line
  std::string Station;                         // the station's name; empty: not recorded
  std::string File;                            // the HEX file's path as given
  std::uint64_t ImageBytes = 0;
  std::string Sha256;                  // of the image as sent (its serial number stamped in), lower-case hexadecimal
  std::string Sequence;                // with Serial: the sequence it was taken from
  std::optional<TSerialValue> Serial;  // the board's serial number, when serial numbers are on
  TUploadResult Result = TUploadResult::Ok;
  std::string Message;  // the text shown, for a failure; empty for ok
  double Seconds = 0;
  int Frames = 0;  // data frames sent
};

// A serial number taken for a board, before its upload begins.
struct TSerialTaken {
  std::chrono::system_clock::time_point Time;
  std::string Port;
  std::string Station;
  std::string Sequence;
  TSerialValue Serial;
};

// The upload as one JSON object and a newline: time (ISO 8601, local time with its offset, to the
// millisecond), port, station (when known), file, image_bytes, sha256, sequence and serial (when
// stamped), result, message (failures only), seconds, frames. Text that is not valid UTF-8 (a file
// name) is written with replacement characters.
std::string FormatUploadRecord(const TUploadRecord& Record);

// The taken number as one JSON object and a newline: time, port, station, sequence, serial,
// "result":"taken".
std::string FormatTakenRecord(const TSerialTaken& Taken);

}  // namespace hexloader::production
