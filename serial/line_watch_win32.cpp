#include "serial/line_watch_win32.h"

#include <chrono>

#include "serial/comm_verdict_win32.h"

namespace hexloader {
namespace {

class TSystemCommWaitCalls : public TCommWaitCalls {
 public:
  BOOL WaitCommEvent(HANDLE Port, DWORD* Mask, OVERLAPPED* Ov) override { return ::WaitCommEvent(Port, Mask, Ov); }
  BOOL SetCommMask(HANDLE Port, DWORD Mask) override { return ::SetCommMask(Port, Mask); }
  BOOL GetCommModemStatus(HANDLE Port, DWORD* Lines) override { return ::GetCommModemStatus(Port, Lines); }
  BOOL ClearCommError(HANDLE Port, DWORD* Errors, COMSTAT* Stat) override {
    return ::ClearCommError(Port, Errors, Stat);
  }
  BOOL CancelIoEx(HANDLE Port, OVERLAPPED* Ov) override { return ::CancelIoEx(Port, Ov); }
  BOOL GetOverlappedResult(HANDLE Port, OVERLAPPED* Ov, DWORD* Bytes, BOOL Wait) override {
    return ::GetOverlappedResult(Port, Ov, Bytes, Wait);
  }
};

int LastError() { return static_cast<int>(::GetLastError()); }

}  // namespace

TCommWaitCalls& SystemCommWaitCalls() {
  static TSystemCommWaitCalls calls;
  return calls;
}

TCommWaitBlock::TCommWaitBlock() { Ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }

TCommWaitBlock::~TCommWaitBlock() {
  if (Ov.hEvent) ::CloseHandle(Ov.hEvent);
}

TWin32LineWatch::TWin32LineWatch(TCommWaitCalls& Calls, HANDLE Port, std::uint32_t Mask, HANDLE Wake,
                                 std::vector<std::unique_ptr<TCommWaitBlock>>& Abandoned, DWORD LivenessCheckMs,
                                 const TReceiveGathering* Gathering)
    : Calls_(Calls),
      Port_(Port),
      Mask_(Mask),
      Wake_(Wake),
      Abandoned_(Abandoned),
      LivenessCheckMs_(LivenessCheckMs),
      Gathering_(Gathering),
      Block_(std::make_unique<TCommWaitBlock>()) {}

int TWin32LineWatch::Wait(std::uint32_t& Occurred) {
  Occurred = 0;
  if (MaskCleared_) {
    // Bytes that came while the mask was cleared raised no event: they are announced here.
    if (!Calls_.SetCommMask(Port_, Mask_)) return LastError();
    MaskCleared_ = false;
    DWORD errors = 0;
    COMSTAT stat{};
    if (Calls_.ClearCommError(Port_, &errors, &stat) && stat.cbInQue > 0 && (Mask_ & EV_RXCHAR)) {
      Occurred = EV_RXCHAR | (errors ? EV_ERR & Mask_ : 0);
      return Completed;
    }
  }
  int r = WaitOnce();
  if (r == ERROR_OPERATION_ABORTED) {
    // Not ours (ours end only through the wake object): some drivers end a wait on a line error.
    // The error is cleared and the wait tried once more before the abort counts.
    DWORD errors = 0;
    COMSTAT stat{};
    if (!Calls_.ClearCommError(Port_, &errors, &stat)) return LastError();
    r = WaitOnce();
  }
  if (r == Completed) Occurred = Block_->Occurred & Mask_;
  if (r == Completed && (Occurred & EV_RXCHAR) && Gathering_ && Gathering_->Threshold.load() > 1) r = Gather(Occurred);
  return r;
}

int TWin32LineWatch::Gather(std::uint32_t& Occurred) {
  using TClock = std::chrono::steady_clock;
  DWORD last = MAXDWORD;
  TClock::time_point lastChange{};
  for (;;) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!Calls_.ClearCommError(Port_, &errors, &stat)) return LastError();
    // The flags are cleared here, as the dispatch's own status query would clear them first when a
    // wait reports received bytes and a line error together (OnError then finds none).
    if (errors != 0) Occurred |= EV_ERR & Mask_;
    if (stat.cbInQue == 0) {
      Occurred &= ~static_cast<std::uint32_t>(EV_RXCHAR);
      return Completed;
    }
    if (stat.cbInQue >= static_cast<DWORD>(Gathering_->Threshold.load())) return Completed;
    const TClock::time_point now = TClock::now();
    if (stat.cbInQue != last) {
      last = stat.cbInQue;
      lastChange = now;
    }
    const auto quietFor = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastChange).count();
    if (quietFor >= TReceivePacer::QuietMs) return Completed;
    const int r = WaitOnce(static_cast<DWORD>(TReceivePacer::QuietMs - quietFor));
    if (r == TimedOut) {
      // The mask was cleared to end the wait: set again now, so that nothing arriving is missed.
      if (!Calls_.SetCommMask(Port_, Mask_)) return LastError();
      MaskCleared_ = false;
      continue;
    }
    if (r == Woken) return Woken;
    if (r != Completed) return r;
    Occurred |= Block_->Occurred & Mask_;
  }
}

int TWin32LineWatch::WaitOnce(DWORD TimeoutMs) {
  TCommWaitBlock& b = *Block_;
  const HANDLE event = b.Ov.hEvent;
  b.Ov = OVERLAPPED{};
  b.Ov.hEvent = event;
  b.Occurred = 0;
  ::ResetEvent(event);
  if (Calls_.WaitCommEvent(Port_, &b.Occurred, &b.Ov)) return Completed;
  const int e = LastError();
  if (e != ERROR_IO_PENDING) return e;
  const HANDLE handles[2] = {event, Wake_};
  const DWORD start = ::GetTickCount();
  for (;;) {
    DWORD wait = Probing_ ? LivenessCheckMs_ : INFINITE;
    bool deadline = false;
    if (TimeoutMs != INFINITE) {
      const DWORD spent = ::GetTickCount() - start;
      const DWORD left = spent >= TimeoutMs ? 0 : TimeoutMs - spent;
      if (left <= wait) {
        wait = left;
        deadline = true;
      }
    }
    const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, wait);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_TIMEOUT && deadline) {
      EndPendingWait();
      return TimedOut;
    }
    if (r == WAIT_OBJECT_0 + 1) {
      EndPendingWait();
      return Woken;
    }
    if (r != WAIT_TIMEOUT) {
      const int error = LastError();
      EndPendingWait();
      return error;
    }
    // Some drivers leave the wait pending when their device is pulled: a quiet line is asked now and
    // then whether the device is still there. The probe's own refusal is no evidence; the error query
    // that follows it is.
    DWORD lines = 0;
    if (Calls_.GetCommModemStatus(Port_, &lines)) continue;
    const TCommVerdict verdict = JudgeCommFailure(TCommCall::ModemProbe, LastError());
    if (verdict == TCommVerdict::ProbeUnsupported) {
      Probing_ = false;
      continue;
    }
    DWORD errors = 0;
    COMSTAT stat{};
    if (Calls_.ClearCommError(Port_, &errors, &stat)) continue;
    const int error = LastError();
    EndPendingWait();
    return error;
  }
  DWORD ignored = 0;
  if (!Calls_.GetOverlappedResult(Port_, &b.Ov, &ignored, FALSE)) return LastError();
  return Completed;
}

void TWin32LineWatch::EndPendingWait() {
  // Clearing the mask ends a pending wait (cancelling it does not, on every system); a driver whose
  // device is gone may refuse both, and then the block stays with it.
  Calls_.SetCommMask(Port_, 0);
  MaskCleared_ = true;
  DWORD ignored = 0;
  if (::WaitForSingleObject(Block_->Ov.hEvent, kEndWaitMs) == WAIT_OBJECT_0) {
    Calls_.GetOverlappedResult(Port_, &Block_->Ov, &ignored, FALSE);
    return;
  }
  Calls_.CancelIoEx(Port_, &Block_->Ov);
  if (::WaitForSingleObject(Block_->Ov.hEvent, kEndWaitMs) == WAIT_OBJECT_0) {
    Calls_.GetOverlappedResult(Port_, &Block_->Ov, &ignored, FALSE);
    return;
  }
  Abandoned_.push_back(std::move(Block_));
  Block_ = std::make_unique<TCommWaitBlock>();
}

}  // namespace hexloader
