// hexloader-cli upload: the Start command and the upload session of the window, for scripts and
// production lines. Converts the HEX file as Start does (the image lands in the current directory),
// refuses what Start refuses, opens the port with the loader's line settings and runs the same session
// on the plain event loop, drawing the progress on the terminal.

#include <chrono>
#include <cstdio>
#include <filesystem>
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
#include "upload/loader_line_settings.h"
#include "upload/progress_line.h"
#include "upload/progress_parts.h"
#include "upload/reply_timeout.h"
#include "upload/serial_comm_port.h"
#include "upload/upload_errors.h"
#include "upload/upload_session.h"

namespace hexloader::cli {
namespace {

using TClock = std::chrono::steady_clock;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;      // conversion, image or port error (also a port lost), bad arguments
constexpr int kExitReplyError = 2;   // "Ошибка ответа"
constexpr int kExitTimeout = 3;      // no hello within --timeout, or no reply within the reply time-out
constexpr auto kEndEchoWait = std::chrono::seconds(2);
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

const char* const kUsage =
    "hexloader-cli upload --port DEVICE [--timeout SECONDS] [--reply-timeout SECONDS] [--strict] FILE.hex\n"
    "  Converts FILE.hex into the binary image (written to the current directory, as the window's\n"
    "  Start command does), opens DEVICE at 19200 bit/s 8N1 without flow control, prints the prompt\n"
    "  to switch the device on and sends the image. Shows a progress bar on a terminal, a few plain\n"
    "  progress lines otherwise.\n"
    "  --timeout SECONDS  give up when the device has not switched on (sent its 0x55) within that\n"
    "                     time (default: wait for ever, like the window)\n"
    "  --reply-timeout SECONDS\n"
    "                     once the transfer has begun, give up when a frame is not answered within\n"
    "                     that time (default 5; fractions allowed)\n"
    "  --strict           refuse a file with wrong record checksums (otherwise one warning on\n"
    "                     standard error): status 1, nothing written or sent\n"
    "  Exit status: 0 the end frame went out; 1 conversion, image or port error (also a port that\n"
    "  went away); 2 \"Ошибка ответа\" (a wrong reply); 3 the device did not switch on within\n"
    "  --timeout, or \"Устройство не отвечает\" (no reply within the reply time-out).\n";

// The session's view on a terminal (a redrawn bar) or in a log (a line at each quarter).
class TTerminalView : public TUploadView {
 public:
  explicit TTerminalView(bool Terminal) : Terminal_(Terminal) {}
  void SetSession(const TUploadSession& Session) { Session_ = &Session; }

  void SetProgressTotalParts(std::uint32_t Total) override { Parts_.SetTotalParts(Total); }
  void SetProgressPartsComplete(std::uint32_t Parts) override {
    Parts_.SetPartsComplete(Parts);
    if (Visible_) Show(false);
  }
  void SetProgressVisible(bool Visible) override {
    if (Visible && !Visible_) Began_ = TClock::now();
    Visible_ = Visible;
  }
  void SetAnimationVisible(bool) override {}
  void SetAnimationActive(bool) override {}
  void SetUploadCommandsEnabled(bool) override {}
  void ShowPowerOnPrompt() override {
    std::printf("%s\n", PowerOnPromptText);
    std::fflush(stdout);
  }
  void HidePowerOnPrompt() override {}
  void ShowMessage(const std::string& Text) override {
    EndBar();
    std::fprintf(stderr, "hexloader-cli: %s\n", Text.c_str());
  }

  // The end frame went out: the display ends at 100 %. The window's arithmetic is for its bar, where an
  // image below 128 bytes has no parts and shows 0 % throughout.
  void ShowCompleted() { Show(true); }

  // Leaves the terminal's line for other output.
  void EndBar() {
    if (BarDrawn_) std::printf("\n");
    BarDrawn_ = false;
    std::fflush(stdout);
  }

 private:
  TProgressSnapshot Snapshot() const {
    TProgressSnapshot S;
    S.Percent = Parts_.Percent();
    S.FramesSent = Session_->FrameCount();
    S.FramesTotal = static_cast<int>(Session_->ImageSize() / frame::DataBytes) + 1;
    S.BytesTotal = Session_->ImageSize();
    S.BytesSent = std::min<std::uint64_t>(static_cast<std::uint64_t>(Session_->FrameCount()) * frame::DataBytes, S.BytesTotal);
    S.BytesAcknowledged = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(std::max(Session_->FrameCount() - 1, 0)) * frame::DataBytes, S.BytesTotal);
    S.ElapsedSeconds = std::chrono::duration<double>(TClock::now() - Began_).count();
    return S;
  }

  void Show(bool Final) {
    TProgressSnapshot S = Snapshot();
    if (Final) S.Percent = 100;
    if (Terminal_) {
      const auto Now = TClock::now();
      if (!Final && Now - LastDraw_ < kRedrawInterval && S.Percent == LastPercent_) return;
      LastDraw_ = Now;
      LastPercent_ = S.Percent;
      std::printf("\r%s\033[K", FormatProgressBar(S).c_str());
      BarDrawn_ = true;
      if (Final) EndBar();
      std::fflush(stdout);
      return;
    }
    // A few lines for logs: at each quarter and at the end.
    const int Quarter = std::min(S.Percent / 25, 3);  // the end has a line of its own
    if (!Final && Quarter <= LastQuarter_) return;
    LastQuarter_ = Final ? 4 : Quarter;
    std::printf("upload: %s\n", FormatProgressLine(S).c_str());
    std::fflush(stdout);
  }

  const TUploadSession* Session_ = nullptr;
  const bool Terminal_;
  TProgressParts Parts_;
  bool Visible_ = false;
  bool BarDrawn_ = false;
  TClock::time_point Began_{};
  TClock::time_point LastDraw_{};
  int LastPercent_ = -1;
  int LastQuarter_ = 0;
};

struct TArgs {
  std::string Port;
  std::string HexFile;
  long TimeoutSeconds = 0;  // 0: none
  int ReplyTimeoutMs = frame::DefaultReplyTimeoutMs;
  bool Strict = false;
};

bool Parse(const std::vector<std::string>& Args, TArgs& Out, std::string& Error) {
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& A = Args[i];
    if (A == "--port" || A == "--timeout" || A == "--reply-timeout") {
      if (i + 1 >= Args.size()) {
        Error = A + " needs a value";
        return false;
      }
      const std::string& V = Args[++i];
      if (A == "--port") {
        Out.Port = V;
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
  if (Out.Port.empty()) Error = "--port DEVICE is required";
  else if (Out.HexFile.empty()) Error = "no HEX file given";
  else if (Out.Port == UnchosenDeviceName) Error = "no port chosen";
  return Error.empty();
}

int Run(const std::vector<std::string>& RawArgs) {
  TArgs Args;
  std::string Error;
  if (!Parse(RawArgs, Args, Error)) {
    std::fprintf(stderr, "hexloader-cli upload: %s\n\n%s", Error.c_str(), kUsage);
    return kExitFailure;
  }

  TEventLoop Loop;
  SetUiDispatcher(&Loop);
  // Failures inside the session's notifications (a refused read or write) come here.
  std::string LineFailure;
  SetExceptionDisplay([&](const std::string& Message) {
    if (LineFailure.empty()) LineFailure = ExceptionDisplayText(Message);
  });

  TSerialComm Comm;
  ApplyLoaderLineSettings(Comm);
  TTerminalView View(StdoutIsTerminal());
  TSerialCommPort Port(Comm);
  TUploadSession Session(Port, View, [&Args](const std::string& HexPath) {
    return ConvertHexFile(HexPath, Args.Strict, stderr);
  });
  Session.SetReplyTimer(Loop.CreateTimer());
  Session.SetReplyTimeoutMs(Args.ReplyTimeoutMs);
  View.SetSession(Session);
  // The component reports the loss itself (LineFailure below); the session only ends.
  Comm.SetOnDeviceLost([&](TSerialCustomComm&) { Session.PortLost(); });

  auto LastHeard = TClock::now();
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    LastHeard = TClock::now();
    Session.OnRxChar(Count);
  });

  int Status = kExitFailure;
  try {
    Comm.SetDeviceName(Args.Port);
    Session.SetHexFileName(Utf8FromPath(std::filesystem::absolute(PathFromUtf8(Args.HexFile))));
    Session.Start();
    LastHeard = TClock::now();

    const auto Ended = [&] { return Session.Outcome() != TUploadOutcome::None || !LineFailure.empty(); };
    // Only the wait for the hello: from then on the session's reply time-out bounds every wait.
    const auto Silent = [&] {
      return Args.TimeoutSeconds > 0 && Session.Stage() == AwaitHello &&
             TClock::now() - LastHeard >= std::chrono::seconds(Args.TimeoutSeconds);
    };
    while (!Ended() && !Silent()) Loop.RunUntil(Ended, std::chrono::milliseconds(250));

    if (!LineFailure.empty()) {
      View.EndBar();
      std::fprintf(stderr, "hexloader-cli: %s\n", LineFailure.c_str());
      Status = kExitFailure;
    } else if (Session.Outcome() == TUploadOutcome::Finished) {
      // The end frame is queued; its echo shows it has reached the line before the port is closed.
      Loop.RunUntil([&] { return Session.RxSinceSend() >= Session.FrameLen(); }, kEndEchoWait);
      View.ShowCompleted();
      std::printf("Upload complete: %llu bytes in %d data frames.\n",
                  static_cast<unsigned long long>(Session.ImageSize()), Session.FrameCount());
      std::fflush(stdout);
      Status = kExitOk;
    } else if (Session.Outcome() == TUploadOutcome::ReplyError) {
      Status = kExitReplyError;  // the view has printed the message
    } else if (Session.Outcome() == TUploadOutcome::Silent) {
      Status = kExitTimeout;  // the view has printed the message
    } else if (Session.Outcome() == TUploadOutcome::PortError) {
      View.EndBar();
      std::fprintf(stderr, "hexloader-cli: the port's device went away\n");
      Status = kExitFailure;
    } else {
      View.EndBar();
      std::fprintf(stderr, "hexloader-cli: no answer from the device for %ld s; upload abandoned\n",
                   Args.TimeoutSeconds);
      Status = kExitTimeout;
    }
  } catch (const std::exception& E) {
    View.EndBar();
    std::fprintf(stderr, "hexloader-cli: %s\n", ExceptionDisplayText(E.what()).c_str());
    Status = kExitFailure;
  }
  Comm.Close();
  Session.ReleaseImage();
  SetExceptionDisplay(nullptr);
  return Status;
}

}  // namespace

const TCliCommand UploadCommand{"upload", "send a HEX file to the device over a serial port", kUsage, Run};

}  // namespace hexloader::cli
