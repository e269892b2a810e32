#include "upload/upload_session.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "core/file_stream.h"
#include "image/file_errors.h"
#include "upload/upload_errors.h"

namespace hexloader {

TUploadSession::TUploadSession(TSessionPort& Port, TUploadView& View, TImagePreparer Preparer)
    : Port_(Port), View_(View), Preparer_(std::move(Preparer)) {}

TUploadSession::~TUploadSession() = default;

void TUploadSession::StopReplyTimer() {
  if (ReplyTimer_) ReplyTimer_->Stop();
}

void TUploadSession::ReleaseImage() {
  ImageStream_.reset();
  ImageBytesOpen_ = false;
}

std::string TUploadSession::PrepareImage(const std::string& HexPath) { return Preparer_(HexPath); }

void TUploadSession::Start() {
  if (Port_.DeviceName() == UnchosenDeviceName) return;

  const bool WasAwaitingHello = Stage_ == AwaitHello;
  StopReplyTimer();
  ReleaseImage();
  // Until the new image is open no session may run: a hello byte arriving after a failed start would
  // otherwise begin a transfer with no image behind it.
  Stage_ = Idle;
  Outcome_ = TUploadOutcome::None;
  try {
    std::uint64_t Size = 0;
    if (ImageBytes_) {
      ImageBytesOpen_ = true;
      ImageBytesRead_ = 0;
      Size = ImageBytes_->size();
    } else {
      const std::string Name = PrepareImage(HexFileName_);
      int Error = ENOENT;
      std::FILE* File = Name.empty() ? nullptr : OpenStream(Name, Error);
      if (!File) throw EFOpenError::ForFile(Name, Error);
      ImageStream_.reset(File);
      if (std::fseek(File, 0, SEEK_END) == 0) {
        const long End = std::ftell(File);
        if (End > 0) Size = static_cast<std::uint64_t>(End);
      }
      std::fseek(File, 0, SEEK_SET);
    }
    if (Size >= MaxImageSize) {
      ReleaseImage();
      throw EImageTooLarge::ForSize(Size);
    }
    ImageSize_ = Size;
  } catch (...) {
    if (WasAwaitingHello) View_.HidePowerOnPrompt();
    throw;
  }

  View_.SetProgressTotalParts(static_cast<std::uint32_t>(ImageSize_ / frame::DataBytes));
  View_.SetProgressPartsComplete(0);

  FrameAddr_ = 0;
  FrameCount_ = 0;
  ExpectedReply_ = frame::Hello;
  LastFrame_ = false;
  Stage_ = AwaitHello;

  if (!Port_.IsOpen()) Port_.Open();
  View_.ShowPowerOnPrompt();
}

void TUploadSession::OnRxChar(int Count) {
  std::uint8_t RxBuf[frame::BufferSize];
  // Count is bounded only by the driver's queue: take it in pieces that fit the buffer.
  int Remaining = Count;
  while (Remaining > 0) {
    const int Piece = std::min(Remaining, frame::BufferSize);
    const int Got = std::min(Port_.ReadBuf(RxBuf, Piece), Piece);
    if (Got <= 0) break;
    for (int i = 0; i < Got; ++i) RxByte(RxBuf[i]);
    Remaining -= Got;
  }
  if (Port_.IsOpen()) UpdateReceiveThreshold();
}

void TUploadSession::UpdateReceiveThreshold() {
  const bool awaitingReply = Stage_ != Idle && Stage_ != AwaitHello && RxSinceSend_ <= FrameLen_;
  Port_.SetReceiveThreshold(awaitingReply ? FrameLen_ + 1 - RxSinceSend_ : 1);
}

void TUploadSession::RxByte(std::uint8_t B) {
  // Saturates: an idle port may receive any number of bytes, and only "more than FrameLen" matters.
  if (RxSinceSend_ < INT_MAX) ++RxSinceSend_;
  if (RxSinceSend_ > FrameLen_) HandleReply(B);
}

void TUploadSession::HandleReply(std::uint8_t B) {
  if (Stage_ == Idle) return;
  StopReplyTimer();  // the device has answered, rightly or not
  if (B != ExpectedReply_) {
    ResetAfterError();
    Outcome_ = TUploadOutcome::ReplyError;
    View_.ShowMessage(ReplyErrorText);
    return;
  }
  switch (Stage_) {
    case AwaitHello: BeginTransfer(); break;
    case AwaitSyncAck:
    case AwaitDataAck: ContinueUpload(); break;
    case AwaitAddressAck: NextDataFrame(); break;
  }
  SendFrame();
}

void TUploadSession::BeginTransfer() {
  View_.SetAnimationVisible(true);
  View_.SetAnimationActive(true);
  View_.SetProgressVisible(true);
  View_.SetUploadCommandsEnabled(false);
  View_.HidePowerOnPrompt();
  BuildSyncFrame();
  Stage_ = AwaitSyncAck;
}

void TUploadSession::ContinueUpload() {
  if (LastFrame_) {
    FinishUpload();
    return;
  }
  if (FrameCount_ % frame::FramesPerAddress == 0) {
    BuildAddressFrame();
    Stage_ = AwaitAddressAck;
  } else {
    NextDataFrame();
  }
}

void TUploadSession::NextDataFrame() {
  const bool Full = BuildDataFrame();
  if (!Full) LastFrame_ = true;
  Stage_ = AwaitDataAck;
}

bool TUploadSession::BuildDataFrame() {
  std::memset(FrameBuf_, 0, sizeof FrameBuf_);
  std::size_t n = 0;
  if (ImageStream_) {
    n = std::fread(FrameBuf_ + 3, 1, frame::DataBytes, ImageStream_.get());
  } else if (ImageBytesOpen_) {
    n = std::min<std::size_t>(frame::DataBytes, ImageBytes_->size() - ImageBytesRead_);
    if (n > 0) std::memcpy(FrameBuf_ + 3, ImageBytes_->data() + ImageBytesRead_, n);
    ImageBytesRead_ += n;
  }
  FrameBuf_[0] = frame::DataKind;
  FrameBuf_[1] = static_cast<std::uint8_t>(FrameAddr_ >> 8);
  FrameBuf_[2] = static_cast<std::uint8_t>(FrameAddr_ & 0xFF);
  ++FrameCount_;
  FrameAddr_ = static_cast<std::uint16_t>((static_cast<std::uint32_t>(FrameCount_) * frame::DataBytes) % 65536u);
  View_.SetProgressPartsComplete(static_cast<std::uint32_t>(FrameCount_));
  FrameLen_ = frame::DataLen;
  ComputeChecksum();
  ExpectedReply_ = Checksum_;
  return n >= static_cast<std::size_t>(frame::DataBytes);
}

void TUploadSession::ComputeChecksum() {
  unsigned Sum = 0;
  for (int i = 3; i < frame::DataLen; ++i) Sum += FrameBuf_[i];
  Checksum_ = static_cast<std::uint8_t>(Sum & 0xFF);
}

void TUploadSession::BuildAddressFrame() {
  std::memset(FrameBuf_, 0, sizeof FrameBuf_);
  FrameBuf_[0] = frame::AddressKind;
  FrameBuf_[1] = static_cast<std::uint8_t>(FrameAddr_ >> 8);
  FrameBuf_[2] = static_cast<std::uint8_t>(FrameAddr_ & 0xFF);
  FrameLen_ = frame::ShortLen;
  ExpectedReply_ = frame::Ack;
}

void TUploadSession::BuildSyncFrame() {
  std::memset(FrameBuf_, 0, sizeof FrameBuf_);
  FrameBuf_[0] = frame::SyncKind;
  FrameBuf_[1] = frame::Sync1;
  FrameBuf_[2] = frame::Sync2;
  FrameLen_ = frame::ShortLen;
  ExpectedReply_ = frame::Ack;
}

void TUploadSession::BuildEndFrame() {
  std::memset(FrameBuf_, 0, sizeof FrameBuf_);
  FrameBuf_[0] = frame::EndKind;
  FrameLen_ = frame::ShortLen;
}

void TUploadSession::FinishUpload() {
  StopReplyTimer();
  View_.SetProgressVisible(false);
  View_.SetAnimationVisible(false);
  View_.SetAnimationActive(false);
  View_.SetUploadCommandsEnabled(true);
  BuildEndFrame();
  Stage_ = Idle;
  LastFrame_ = false;
  ReleaseImage();
  Outcome_ = TUploadOutcome::Finished;
}

void TUploadSession::ResetAfterError() {
  StopReplyTimer();
  View_.SetProgressPartsComplete(0);
  FrameAddr_ = 0;
  FrameCount_ = 0;
  Stage_ = Idle;
  View_.SetProgressVisible(false);
  View_.SetAnimationVisible(false);
  View_.SetAnimationActive(false);
  View_.SetUploadCommandsEnabled(true);
}

void TUploadSession::SendFrame() {
  RxSinceSend_ = 0;
  // Armed before the write: a frame that fails to go out is never answered either.
  if (ReplyTimer_ && Stage_ != Idle && Stage_ != AwaitHello)
    ReplyTimer_->Start(std::chrono::milliseconds(ReplyTimeoutMs_), [this] { ReplyTimedOut(); });
  // Before the write: the echo may start coming back at once.
  UpdateReceiveThreshold();
  Port_.WriteBuf(FrameBuf_, FrameLen_);
}

void TUploadSession::ReplyTimedOut() {
  if (Stage_ == Idle || Stage_ == AwaitHello) return;
  // The time-out measures the device's silence, not a stall of this thread: an answer that has come
  // but waits to be handed over restarts the wait (its hand-over stops the timer).
  int Waiting = 0;
  try {
    Waiting = Port_.InQueueCount();
  } catch (...) {
    Waiting = 0;  // a port that fails now is seen by its next read
  }
  if (Waiting > 0 && ReplyTimer_) {
    ReplyTimer_->Start(std::chrono::milliseconds(ReplyTimeoutMs_), [this] { ReplyTimedOut(); });
    return;
  }
  ResetAfterError();
  // An echo still missing now will not come: the next session's hello must not be taken for it.
  if (RxSinceSend_ < FrameLen_) RxSinceSend_ = FrameLen_;
  if (Port_.IsOpen()) UpdateReceiveThreshold();
  Outcome_ = TUploadOutcome::Silent;
  View_.ShowMessage(NoReplyText);
}

void TUploadSession::PortLost() {
  if (Stage_ == Idle) return;
  ResetAfterError();
  // The rest of the last frame's echo went with the device: the next device's hello is no echo.
  if (RxSinceSend_ < FrameLen_) RxSinceSend_ = FrameLen_;
  View_.HidePowerOnPrompt();
  Outcome_ = TUploadOutcome::PortError;
}

}  // namespace hexloader
