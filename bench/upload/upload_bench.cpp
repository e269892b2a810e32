// upload_bench: one timed upload, printed as seconds from the device's hello byte to the end frame's
// echo. "session": the loader's own session on the serial component and the plain event loop, as the
// command-line tool runs it (conversion included, before the hello). "blocking": the plain reference.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

#include "bench/upload/blocking_uploader.h"
#include "core/event_loop.h"
#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "image/hex_to_bin.h"
#include "serial/serial_comm.h"
#include "upload/loader_line_settings.h"
#include "upload/serial_comm_port.h"
#include "upload/upload_session.h"

namespace {

using namespace hexloader;
using TClock = std::chrono::steady_clock;

class TQuietView : public TUploadView {
 public:
  void SetProgressTotalParts(std::uint32_t) override {}
  void SetProgressPartsComplete(std::uint32_t) override {}
  void SetProgressVisible(bool) override {}
  void SetAnimationVisible(bool) override {}
  void SetAnimationActive(bool) override {}
  void SetUploadCommandsEnabled(bool) override {}
  void ShowPowerOnPrompt() override {}
  void HidePowerOnPrompt() override {}
  void ShowMessage(const std::string& Text) override { Failure = Text; }
  std::string Failure;
};

double SessionUpload(const std::string& Port, const std::string& Hex, TSerialBaudrate Rate) {
  TEventLoop Loop;
  SetUiDispatcher(&Loop);
  std::string Failure;
  SetExceptionDisplay([&](const std::string& Message) { Failure = Message; });
  TSerialComm Comm;
  ApplyLoaderLineSettings(Comm, Rate);
  Comm.SetDeviceName(Port);
  TSerialCommPort SessionPort(Comm);
  TQuietView View;
  TUploadSession Session(SessionPort, View, &HexToBin);
  Session.SetHexFileName(std::filesystem::absolute(Hex).string());
  TClock::time_point Hello{};
  bool Heard = false;
  Comm.SetOnRxChar([&](TSerialCustomComm&, int Count) {
    if (!Heard) Hello = TClock::now();
    Heard = true;
    Session.OnRxChar(Count);
  });
  Session.Start();
  const auto Done = [&] {
    return !Failure.empty() || !View.Failure.empty() ||
           (Session.Outcome() == TUploadOutcome::Finished && Session.RxSinceSend() >= Session.FrameLen());
  };
  if (!Loop.RunUntil(Done, std::chrono::minutes(10))) throw std::runtime_error("the upload did not end");
  const double Seconds = std::chrono::duration<double>(TClock::now() - Hello).count();
  if (!Failure.empty() || !View.Failure.empty()) throw std::runtime_error(Failure + View.Failure);
  Comm.Close();
  SetExceptionDisplay(nullptr);
  return Seconds;
}

}  // namespace

int main(int argc, char** argv) {
  // The session's bit rate (a standard one; 19200 when not given) must be the simulator's: the
  // session gathers each reply by the line's time.
  const std::optional<TSerialBaudrate> Rate = argc == 5 ? StandardBaudrate(std::atol(argv[4])) : br19200;
  if ((argc != 4 && argc != 5) || !Rate) {
    std::fprintf(stderr, "Usage: upload_bench session PORT FILE.hex [BIT-RATE] | blocking PORT FILE.bin\n");
    return 2;
  }
  const std::string Mode = argv[1];
  try {
    const double Seconds =
        Mode == "session" ? SessionUpload(argv[2], argv[3], *Rate) : hexloader::bench::BlockingUpload(argv[2], argv[3]);
    std::printf("%.6f\n", Seconds);
    return 0;
  } catch (const std::exception& E) {
    std::fprintf(stderr, "upload_bench: %s\n", E.what());
    return 1;
  }
}
