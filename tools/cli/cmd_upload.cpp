// hexloader-cli upload: the Start command and the upload session of the window, for scripts and
// production lines. Converts the HEX file once as Start does (the image lands in the current
// directory), refuses what Start refuses, and runs one session per port, all at once on the plain
// event loop: each port has its own serial component and session, and one port's failure never
// touches another. With --repeat every port programs board after board until SIGINT/SIGTERM; with
// --log every upload is appended to a record file as one JSON line.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/event_loop.h"
#include "core/exception.h"
#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "core/utf8_path.h"
#include "serial/serial_comm.h"
#include "tools/cli/cli_command.h"
#include "tools/cli/cli_conversion.h"
#include "tools/cli/console.h"
#include "tools/cli/console_text.h"
#include "tools/cli/image_snapshot.h"
#include "tools/cli/open_file_limit.h"
#include "tools/cli/platform_texts.h"
#include "tools/cli/progress_board.h"
#include "tools/cli/stop_request.h"
#include "tools/cli/upload_job.h"
#include "tools/cli/upload_log_file.h"
#include "upload/loader_line_settings.h"
#include "upload/reply_timeout.h"
#include "upload/upload_session.h"

namespace hexloader::cli {
namespace {

using TClock = std::chrono::steady_clock;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // conversion, image or port error, bad arguments
constexpr auto kTickInterval = std::chrono::milliseconds(100);
constexpr auto kFrameLeaveWait = std::chrono::seconds(2);
constexpr const char* kRecordLostStop = "a record could not be written: no more boards are started";
constexpr const char* kRecordLostSummary = "stopped early: a record could not be written (see above)";

std::string Usage() {
  return std::string(
             "hexloader-cli upload --port DEVICE [--port DEVICE ...] [--timeout SECONDS] [--reply-timeout SECONDS] "
             "[--baud N] [--strict] [--repeat] [--log FILE] FILE.hex\n"
             "  Converts FILE.hex once into the binary image (written to the current directory, as the window's\n"
             "  Start command does) and sends it through every DEVICE at the same time, each opened at 19200\n"
             "  bit/s (or --baud) 8N1 without flow control: it prints the prompt to switch the devices on and "
             "uploads to each\n"
             "  device as soon as it answers. On a terminal it shows one line per port (bar, percent, frames,\n"
             "  bytes per second, state); otherwise plain lines, prefixed with the port when there are several.\n"
             "  With several ports, or with --repeat, a summary ends the run.\n") +
         platform_texts::PortOption +
         "  --baud N           the line's rate in bit/s (default 19200), for devices built for another\n"
         "                     standard rate (110 ... 256000); a rate the adapter refuses ends the upload\n"
         "  --timeout SECONDS  give up when a device has not switched on (sent its 0x55) within that time\n"
         "                     (default: wait for ever, like the window); not with --repeat, where the\n"
         "                     next board takes as long as it takes\n"
         "  --reply-timeout SECONDS\n"
         "                     once a transfer has begun, give it up when a frame is not answered within\n"
         "                     that time (default 5; fractions allowed)\n"
         "  --strict           refuse a file with wrong record checksums (otherwise one warning on\n"
         "                     standard error): status 1, nothing written or sent\n" +
         platform_texts::RepeatOption +
         "  --log FILE         append one JSON line per upload to FILE, written and flushed as each upload\n"
         "                     ends: time (ISO 8601, start of the upload), port, file, image_bytes, sha256\n"
         "                     (of the image as sent), result (ok, reply-error, silent, port-error,\n"
         "                     interrupted), message (for a failure), seconds, frames. Several runs may\n"
         "                     append to one file.\n"
         "  Exit status: 0 every device took the image (with --repeat: every upload succeeded); otherwise\n"
         "  that of the first port, in command-line order, with a failed upload: 1 conversion, image or port\n"
         "  error, also a port that went away (or an upload abandoned on request, or a port stopped before\n"
         "  its device answered, or a record that could not be written); 2 \"Ошибка ответа\" (a wrong reply);\n"
         "  3 the device did not switch on within the time given by --timeout, or \"Устройство не отвечает\"\n"
         "  (no reply within the reply time-out). A conversion error names the file and the line\n"
         "  (fw.hex:12: ...).\n"
         "  Example, a production line with three fixtures:\n" +
         platform_texts::ProductionExample;
}

struct TArgs {
  std::vector<std::string> Ports;
  std::string HexFile;
  long TimeoutSeconds = 0;  // 0: none
  int ReplyTimeoutMs = frame::DefaultReplyTimeoutMs;
  bool Repeat = false;
  bool Strict = false;
  std::string LogFile;
  TSerialBaudrate Baudrate = br19200;
};

bool Parse(const std::vector<std::string>& Args, TArgs& Out, std::string& Error) {
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& A = Args[i];
    if (A == "--port" || A == "--timeout" || A == "--reply-timeout" || A == "--log" || A == "--baud") {
      if (i + 1 >= Args.size()) {
        Error = A + " needs a value";
        return false;
      }
      const std::string& V = Args[++i];
      if (V.empty() && (A == "--port" || A == "--log")) {
        Error = A + " needs a value that is not empty";
        return false;
      }
      if (A == "--port") {
        Out.Ports.push_back(V);
      } else if (A == "--log") {
        Out.LogFile = V;
      } else if (A == "--baud") {
        std::size_t Used = 0;
        long Bits = 0;
        try {
          Bits = std::stol(V, &Used);
        } catch (const std::exception&) {
          Used = 0;
        }
        const std::optional<TSerialBaudrate> Rate = StandardBaudrate(Bits);
        if (Used != V.size() || !Rate) {
          Error = "bad value '" + V + "' for --baud (a standard rate in bit/s, such as 19200 or 57600)";
          return false;
        }
        Out.Baudrate = *Rate;
      } else if (A == "--reply-timeout") {
        if (!ParseReplyTimeoutSeconds(V, Out.ReplyTimeoutMs)) {
          Error = "bad value '" + V + "' for --reply-timeout (seconds, more than 0)";
          return false;
        }
      } else {
        std::size_t Used = 0;
        try {
          Out.TimeoutSeconds = std::stol(V, &Used);
        } catch (const std::exception&) {
          Used = 0;
        }
        if (Used != V.size() || Out.TimeoutSeconds <= 0) {
          Error = "bad value '" + V + "' for --timeout (whole seconds, at least 1)";
          return false;
        }
      }
    } else if (A == "--repeat") {
      Out.Repeat = true;
    } else if (A == "--strict") {
      Out.Strict = true;
    } else if (!A.empty() && A[0] == '-') {
      Error = "unknown option '" + A + "'";
      return false;
    } else if (Out.HexFile.empty()) {
      Out.HexFile = A;
    } else {
      Error = "only one HEX file can be uploaded";
      return false;
    }
  }
  if (Out.Ports.empty()) Error = "--port DEVICE is required";
  else if (Out.HexFile.empty()) Error = "no HEX file given";
  for (const std::string& Port : Out.Ports)
    if (Port == UnchosenDeviceName) Error = "no port chosen";
  return Error.empty();
}

// The run's status: that of the first port, in command-line order, with a failed upload.
int RunStatus(const std::vector<std::unique_ptr<TUploadJob>>& Jobs, bool Repeat) {
  for (const auto& Job : Jobs) {
    if (Job->FirstFailureStatus() != 0) return Job->FirstFailureStatus();
    if (!Repeat && !Job->HasResult()) return kExitFailure;  // stopped before its device answered
  }
  return kExitOk;
}

// What one open port holds (the tty, its event thread's epoll and one eventfd per thread: see
// serial/serial_threads.h), and what the run holds besides its ports (standard streams, the image,
// the record, the event loop).
constexpr std::uint64_t kFilesPerPort = 4;
constexpr std::uint64_t kFilesBesidesPorts = 32;

// Said before anything opens, so that no board is half served because a later port could not open.
bool PortsFitFileLimit(std::size_t PortCount, std::uint64_t FileLimit, std::string& Error) {
  if (FileLimit == UINT64_MAX) return true;
  const std::uint64_t Fits = FileLimit > kFilesBesidesPorts ? (FileLimit - kFilesBesidesPorts) / kFilesPerPort : 0;
  if (PortCount <= Fits) return true;
  Error = std::to_string(PortCount) + " ports cannot all be opened: this process may open " +
          std::to_string(FileLimit) + " files, enough for " + std::to_string(Fits) +
          " ports; raise the limit (ulimit -n) or give fewer ports";
  return false;
}

int Run(const std::vector<std::string>& RawArgs) {
  TArgs Args;
  std::string Error;
  if (!Parse(RawArgs, Args, Error)) {
    PrintText(stderr, "hexloader-cli upload: %s\n\n%s", Error.c_str(), Usage().c_str());
    return kExitFailure;
  }
  if (!PortsFitFileLimit(Args.Ports.size(), RaiseOpenFileLimit(), Error)) {
    std::fprintf(stderr, "hexloader-cli upload: %s\n", Error.c_str());
    return kExitFailure;
  }

  std::unique_ptr<TUploadLogFile> Log;
  std::unique_ptr<TImageSnapshot> Image;
  try {
    // Opened first: no board is programmed without its record.
    if (!Args.LogFile.empty()) Log = std::make_unique<TUploadLogFile>(Args.LogFile);
    const std::string ImageName = ConvertHexFile(Utf8FromPath(std::filesystem::absolute(PathFromUtf8(Args.HexFile))),
                                                 Args.HexFile, Args.Strict, stderr);
    Image = std::make_unique<TImageSnapshot>(ImageName);
    // The window keeps the exchange for an empty image; a production line would only program boards
    // with nothing, and record them as good.
    if (Image->Size() == 0) throw Exception(Args.HexFile + ": no data records");
  } catch (const std::exception& E) {
    PrintText(stderr, "hexloader-cli: %s\n", ExceptionDisplayText(E.what()).c_str());
    return kExitFailure;
  }

  TEventLoop Loop;
  SetUiDispatcher(&Loop);
  // Installed before the ports open, so that their threads never take a stop signal's default action.
  TStopRequest StopRequest;

  std::vector<std::unique_ptr<TUploadJob>> Jobs;
  TProgressBoard Board(StdoutIsTerminal(), Args.Repeat, Jobs);
  // A port whose device went away closes itself and then shows why: that message belongs to its job.
  // Anything else belongs to no port (a port's own failures end its upload and are shown with it).
  SetExceptionDisplay([&](const std::string& Message) {
    const std::string Text = ExceptionDisplayText(Message);
    for (auto& Job : Jobs)
      if (Job->TakeLossMessage(Text)) return;
    Board.Say(Text);
  });

  bool RecordLost = false;
  const auto OnUploadEnd = [&](TUploadJob&, const TUploadRecord& Record) {
    if (!Log) return;
    try {
      Log->Append(FormatUploadRecord(Record));
    } catch (const std::exception& E) {
      Board.Say(ExceptionDisplayText(E.what()));
      if (RecordLost) return;
      RecordLost = true;
      // No board without its record: no port arms another one; uploads in progress end as on a stop
      // request. Done here, not in the loop, so that no port starts a board in between.
      Board.Say(kRecordLostStop);
      for (auto& Job : Jobs) Job->StopAfterUpload();
    }
  };
  const auto OnNotice = [&](TUploadJob& Job, const std::string& Text, bool Failure) {
    Board.Notice(Job, Text, Failure);
  };
  for (const std::string& Port : Args.Ports)
    Jobs.push_back(std::make_unique<TUploadJob>(TJobSettings{Port, Args.HexFile, Image.get(), Args.TimeoutSeconds,
                                                             Args.ReplyTimeoutMs, Args.Repeat, Args.Baudrate},
                                                OnUploadEnd, OnNotice));
  for (auto& Job : Jobs) Job->Begin();

  const auto AllStopped = [&] {
    for (const auto& Job : Jobs)
      if (!Job->Stopped()) return false;
    return true;
  };
  int StopsHandled = 0;
  auto NextTick = TClock::now() + kTickInterval;
  while (!AllStopped()) {
    // The tick rides on the wake-ups the uploads bring anyway (each reply, tens of times a second), so
    // that it costs no wake-up of its own while data flows; only a line quiet for a further interval
    // wakes the loop for it.
    Loop.RunUntil([&] { return StopRequest.Count() != StopsHandled || TClock::now() >= NextTick; },
                  std::chrono::duration_cast<std::chrono::milliseconds>(NextTick + kTickInterval - TClock::now()));
    if (StopRequest.Count() != StopsHandled) {
      const bool First = StopsHandled == 0;
      StopsHandled = StopRequest.Count();
      // Requests that came between two looks count each: a second one abandons at once.
      if (First)
        for (auto& Job : Jobs) Job->StopAfterUpload();
      if (StopsHandled >= 2) {
        for (auto& Job : Jobs) Job->Abandon();
      } else if (!AllStopped()) {
        Board.Say("stopping once the uploads in progress have ended; ask again to abandon them");
      }
    }
    const auto Now = TClock::now();
    if (Now < NextTick) continue;
    NextTick = Now + kTickInterval;
    for (auto& Job : Jobs) Job->Tick(Now);
    Board.Redraw(false);
  }

  // The frame each port sent last leaves the line before the ports close.
  Loop.RunUntil(
      [&] {
        for (const auto& Job : Jobs)
          if (!Job->FrameInFlightLeft()) return false;
        return true;
      },
      std::chrono::duration_cast<std::chrono::milliseconds>(kFrameLeaveWait));
  std::vector<TSerialCustomComm*> Comms;
  for (auto& Job : Jobs) Comms.push_back(&Job->Comm());
  try {
    TSerialCustomComm::CloseTogether(Comms);
  } catch (const std::exception& E) {
    Board.Say(ExceptionDisplayText(E.what()));
  }
  Board.Finish();
  if (RecordLost) Board.Say(kRecordLostSummary);

  int Status = RunStatus(Jobs, Args.Repeat);
  if (Status == kExitOk && RecordLost) Status = kExitFailure;
  Jobs.clear();
  SetExceptionDisplay(nullptr);
  SetUiDispatcher(nullptr);
  return Status;
}

}  // namespace

const TCliCommand UploadCommand{"upload", "send a HEX file to one or several devices over serial ports", Usage, Run};

}  // namespace hexloader::cli
