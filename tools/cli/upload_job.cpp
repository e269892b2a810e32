#include "tools/cli/upload_job.h"

#include <algorithm>

#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "serial/serial_comm.h"
#include "tools/cli/image_snapshot.h"
#include "upload/loader_line_settings.h"
#include "upload/progress_parts.h"
#include "upload/serial_comm_port.h"
#include "upload/upload_errors.h"
#include "upload/upload_session.h"
#include "upload/upload_view.h"

namespace hexloader::cli {
namespace {

// After a failed upload, the line must stay quiet this long before the port waits for a new hello:
// the rest of a failed exchange must not be taken for the next device.
constexpr auto kSettleTime = std::chrono::milliseconds(500);

std::string SilenceMessage(long Seconds) {
  std::string Text = "no answer from the device for ";
  Text += std::to_string(Seconds);
  Text += " s; upload abandoned";
  return Text;
}
constexpr const char* kPortClosedMessage = "the port was closed";
constexpr const char* kPortLostMessage = "the port's device went away";
constexpr auto kLossMessageWait = std::chrono::seconds(1);
constexpr const char* kAbandonedMessage = "upload abandoned: the program was asked to stop";
constexpr const char* kStoppedWaitingMessage = "stopped before the device answered";

}  // namespace

// The session's indicators for one port: the progress arithmetic, the prompt and the message dialog.
class TJobView : public TUploadView {
 public:
  TJobView(TUploadJob& Job, TUploadJob::TOnNotice& OnNotice) : Job_(Job), OnNotice_(OnNotice) {}

  void SetProgressTotalParts(std::uint32_t Total) override { Parts.SetTotalParts(Total); }
  void SetProgressPartsComplete(std::uint32_t PartsComplete) override {
    Parts.SetPartsComplete(PartsComplete);
    if (PartsComplete > 0) Job_.OnFrameBuilt();
  }
  void SetProgressVisible(bool Visible) override {
    if (Visible) Job_.OnTransferBegan();
  }
  void SetAnimationVisible(bool) override {}
  void SetAnimationActive(bool) override {}
  void SetUploadCommandsEnabled(bool) override {}
  void ShowPowerOnPrompt() override { OnNotice_(Job_, PowerOnPromptText, false); }
  void HidePowerOnPrompt() override {}
  void ShowMessage(const std::string& Text) override { Message = Text; }

  TProgressParts Parts;
  std::string Message;

 private:
  TUploadJob& Job_;
  TUploadJob::TOnNotice& OnNotice_;
};

int ExitStatusOf(TUploadResult Result) {
  switch (Result) {
    case TUploadResult::Ok: return 0;
    case TUploadResult::ReplyError: return 2;
    case TUploadResult::Silent: return 3;
    case TUploadResult::PortError:
    case TUploadResult::Interrupted: return 1;
  }
  return 1;
}

TUploadJob::TUploadJob(TJobSettings Settings, TOnUploadEnd OnUploadEnd, TOnNotice OnNotice)
    : Settings_(std::move(Settings)), OnUploadEnd_(std::move(OnUploadEnd)), OnNotice_(std::move(OnNotice)) {
  Comm_ = std::make_unique<TSerialComm>();
  ApplyLoaderLineSettings(*Comm_, Settings_.Baudrate);
  Comm_->SetDeviceName(Settings_.Port);
  CommPort_ = std::make_unique<TSerialCommPort>(*Comm_);
  View_ = std::make_unique<TJobView>(*this, OnNotice_);
  // The image is sent from memory: no file to convert or open per board.
  Session_ = std::make_unique<TUploadSession>(*CommPort_, *View_, [](const std::string&) { return std::string(); });
  Session_->SetImageBytes(&Settings_.Image->Bytes());
  Session_->SetHexFileName(Settings_.HexFile);
  Session_->SetReplyTimer(UiDispatcher().CreateTimer());
  Session_->SetReplyTimeoutMs(Settings_.ReplyTimeoutMs);
  Comm_->SetOnRxChar([this](TSerialCustomComm&, int Count) { OnRxChar(Count); });
  Comm_->SetOnDeviceLost([this](TSerialCustomComm&) { OnDeviceLost(); });
}

// The session goes first: it refers to the port adapter and the view.
TUploadJob::~TUploadJob() {
  Comm_->SetOnRxChar(nullptr);
  Comm_->SetOnDeviceLost(nullptr);
  Comm_.reset();
  Session_.reset();
}

void TUploadJob::Begin() {
  try {
    Arm();
  } catch (const std::exception& E) {
    State_ = TJobState::AwaitHello;
    EndUpload(TUploadResult::PortError, ExceptionDisplayText(E.what()));
  }
}

void TUploadJob::Arm() {
  State_ = TJobState::AwaitHello;
  ArmedAt_ = LastHeard_ = TClock::now();
  TransferBegan_ = {};
  UploadTime_ = std::chrono::system_clock::now();
  FramesSent_ = 0;
  LastQuarter_ = 0;
  View_->Message.clear();
  Session_->Start();
}

void TUploadJob::OnTransferBegan() {
  State_ = TJobState::Transfer;
  TransferBegan_ = TClock::now();
  UploadTime_ = std::chrono::system_clock::now();
}

void TUploadJob::OnFrameBuilt() {
  FramesSent_ = std::max(FramesSent_, Session_->FrameCount());
  const int Quarter = std::min(View_->Parts.Percent() / 25, 3);  // the end has a notice of its own
  if (Quarter > LastQuarter_) {
    LastQuarter_ = Quarter;
    OnNotice_(*this, "upload: " + FormatProgressLine(Progress()), false);
  }
}

void TUploadJob::OnRxChar(int Count) {
  LastHeard_ = TClock::now();
  // A failed upload's remains, or anything after it, never reach the session: it would take them
  // for replies and carry on with an upload already recorded as failed.
  // A stopped port uploads nothing more: a device switched on after a stop request is left alone.
  if (State_ == TJobState::Settling || State_ == TJobState::Stopped) {
    Drain(Count);
    return;
  }
  const bool Running = State_ == TJobState::AwaitHello || State_ == TJobState::Transfer;
  try {
    Session_->OnRxChar(Count);
  } catch (const std::exception& E) {
    if (Running) EndUpload(TUploadResult::PortError, ExceptionDisplayText(E.what()));
    return;
  }
  if (Running) CheckOutcome();
}

void TUploadJob::CheckOutcome() {
  switch (Session_->Outcome()) {
    case TUploadOutcome::None: break;
    case TUploadOutcome::Finished: EndUpload(TUploadResult::Ok, ""); break;
    case TUploadOutcome::ReplyError: EndUpload(TUploadResult::ReplyError, View_->Message); break;
    case TUploadOutcome::Silent: EndUpload(TUploadResult::Silent, View_->Message); break;
    // A lost device ends with the component's own message (TakeLossMessage).
    case TUploadOutcome::PortError: break;
  }
}

void TUploadJob::OnDeviceLost() {
  // The component has closed itself; its message follows at once through the exception display.
  LineGone_ = true;
  LossPending_ = true;
  LostAt_ = TClock::now();
  Session_->PortLost();
}

bool TUploadJob::TakeLossMessage(const std::string& Message) {
  if (!LossPending_) return false;
  LossPending_ = false;
  if (State_ == TJobState::AwaitHello || State_ == TJobState::Transfer) {
    EndUpload(TUploadResult::PortError, Message);
  } else {
    // Between uploads: nothing to record, but the operator learns which port went away.
    OnNotice_(*this, Message, true);
    State_ = TJobState::Stopped;
  }
  return true;
}

void TUploadJob::Drain(int Count) {
  std::uint8_t Buf[frame::BufferSize];
  try {
    while (Count > 0) {
      const int Got = Comm_->ReadBuf(Buf, std::min<int>(Count, sizeof Buf));
      if (Got <= 0) break;
      DrainedSinceEnd_ += Got;
      Count -= Got;
    }
  } catch (const std::exception&) {
    // The upload has already ended and been recorded; a line that fails now is seen at the next one.
  }
}

bool TUploadJob::LineFailed() {
  if (!Comm_->IsOpen()) {
    LineGone_ = true;
    EndUpload(TUploadResult::PortError, kPortClosedMessage);
    return true;
  }
  try {
    TSerialCommStatus Status;
    Comm_->GetCommStatus(Status);
  } catch (const std::exception& E) {
    LineGone_ = true;
    EndUpload(TUploadResult::PortError, ExceptionDisplayText(E.what()));
    return true;
  }
  return false;
}

void TUploadJob::Tick(TClock::time_point Now) {
  if (State_ == TJobState::Transfer || State_ == TJobState::AwaitHello) {
    // The reply time-out ends a session on its timer, outside any OnRxChar.
    CheckOutcome();
    if (State_ != TJobState::Transfer && State_ != TJobState::AwaitHello) return;
    // The component's message about a lost device comes right after OnDeviceLost; should it not, the
    // upload still ends.
    if (LossPending_) {
      if (Now - LostAt_ > kLossMessageWait) {
        LossPending_ = false;
        EndUpload(TUploadResult::PortError, kPortLostMessage);
      }
      return;
    }
    // A line that fails in a way the component does not take for a lost device ends the upload too.
    if (LineFailed()) return;
    // The transfer is bounded by the session's reply time-out. Between boards the operator takes as
    // long as he needs; a single upload gives up on the hello as asked.
    if (State_ == TJobState::AwaitHello && !Settings_.Repeat && Settings_.HelloTimeoutSeconds > 0 &&
        Now - ArmedAt_ >= std::chrono::seconds(Settings_.HelloTimeoutSeconds))
      EndUpload(TUploadResult::Silent, SilenceMessage(Settings_.HelloTimeoutSeconds));
    return;
  }
  if (State_ == TJobState::Settling) {
    if (StopRequested_ || !Comm_->IsOpen()) {
      State_ = TJobState::Stopped;
    } else if (Now - LastHeard_ >= kSettleTime) {
      try {
        Arm();
      } catch (const std::exception& E) {
        EndUpload(TUploadResult::PortError, ExceptionDisplayText(E.what()));
      }
    }
  }
}

void TUploadJob::StopAfterUpload() {
  StopRequested_ = true;
  // The upload a single run was asked for did not happen: that is a record of its own. With --repeat a
  // port waiting for the next board has nothing to record.
  if (State_ == TJobState::AwaitHello && !Settings_.Repeat)
    EndUpload(TUploadResult::Interrupted, kStoppedWaitingMessage);
  if (State_ == TJobState::AwaitHello || State_ == TJobState::Settling) State_ = TJobState::Stopped;
}

void TUploadJob::Abandon() {
  StopRequested_ = true;
  if (State_ == TJobState::Transfer) EndUpload(TUploadResult::Interrupted, kAbandonedMessage);
  State_ = TJobState::Stopped;
}

void TUploadJob::EndUpload(TUploadResult Result, const std::string& Message) {
  if (State_ != TJobState::AwaitHello && State_ != TJobState::Transfer) return;
  const auto Now = TClock::now();
  TransferEnded_ = Now;
  const auto Began = TransferBegan_ != TClock::time_point{} ? TransferBegan_ : ArmedAt_;

  TUploadRecord Record;
  Record.Time = UploadTime_;
  Record.Port = Settings_.Port;
  Record.File = Settings_.HexFile;
  Record.ImageBytes = Settings_.Image->Size();
  Record.Sha256 = Settings_.Image->Sha256();
  Record.Result = Result;
  Record.Message = Message;
  Record.Seconds = std::chrono::duration<double>(Now - Began).count();
  Record.Frames = FramesSent_;

  if (Result == TUploadResult::Ok) ++Good_;
  else ++Failed_;
  if (Result != TUploadResult::Ok && FirstFailureStatus_ == 0) FirstFailureStatus_ = ExitStatusOf(Result);
  HasResult_ = true;
  LastResult_ = Result;
  LastMessage_ = Message;
  LastSeconds_ = Record.Seconds;
  DrainedSinceEnd_ = 0;

  // Settled before anyone hears of it, so that what they ask of the job is already true.
  State_ = TJobState::Stopped;
  const bool Again = Settings_.Repeat && !StopRequested_ && !LineGone_ && Comm_->IsOpen();
  if (Result != TUploadResult::Ok && Again) State_ = TJobState::Settling;

  OnUploadEnd_(*this, Record);
  if (Result == TUploadResult::Ok) {
    OnNotice_(*this, "upload: " + FormatProgressLine(Progress()), false);
    std::string Text = "Upload complete: ";
    Text += std::to_string(Record.ImageBytes) + " bytes in " + std::to_string(Record.Frames) + " data frames.";
    OnNotice_(*this, Text, false);
  } else {
    OnNotice_(*this, Message, true);
  }

  // The record may have failed just now, and the run stopped arming boards (StopAfterUpload).
  if (Result == TUploadResult::Ok && Again && !StopRequested_) {
    try {
      Arm();
    } catch (const std::exception& E) {
      EndUpload(TUploadResult::PortError, ExceptionDisplayText(E.what()));
    }
  }
}

bool TUploadJob::FrameInFlightLeft() const {
  if (!Comm_->IsOpen() || LineGone_) return true;
  return static_cast<long>(Session_->RxSinceSend()) + DrainedSinceEnd_ >= Session_->FrameLen();
}

TProgressSnapshot TUploadJob::Progress() const {
  TProgressSnapshot S;
  const std::uint64_t Size = Settings_.Image->Size();
  S.Percent = View_->Parts.Percent();
  S.FramesSent = FramesSent_;
  S.FramesTotal = static_cast<int>(Size / frame::DataBytes) + 1;
  S.BytesTotal = Size;
  S.BytesSent = std::min<std::uint64_t>(static_cast<std::uint64_t>(FramesSent_) * frame::DataBytes, Size);
  S.BytesAcknowledged =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(FramesSent_ - 1, 0)) * frame::DataBytes, Size);
  // After an upload the figures stand as they were at its end.
  const bool Ended = State_ != TJobState::Transfer;
  // The end frame went out: the display ends at 100 %, also for an image below one frame, for which
  // the window's bar has no parts and stays at 0 %.
  if (State_ == TJobState::Stopped && HasResult_ && LastResult_ == TUploadResult::Ok) {
    S.Percent = 100;
    S.BytesAcknowledged = Size;
  }
  if (TransferBegan_ != TClock::time_point{})
    S.ElapsedSeconds = std::chrono::duration<double>((Ended ? TransferEnded_ : TClock::now()) - TransferBegan_).count();
  return S;
}

}  // namespace hexloader::cli
