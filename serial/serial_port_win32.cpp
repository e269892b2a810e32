// Windows side of the serial port: an overlapped COM handle opened without sharing; line events through
// WaitCommEvent; reads and direct writes timed by the driver's COMMTIMEOUTS; the write thread's writes
// left pending in the driver and collected by the next WriteSome.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/wide_text_win32.h"
#include "serial/comm_api_win32.h"
#include "serial/comm_verdict_win32.h"
#include "serial/line_dcb_win32.h"
#include "serial/line_watch_win32.h"
#include "serial/receive_pacer.h"
#include "serial/serial_port.h"

namespace hexloader {
namespace {

int LastError() { return static_cast<int>(::GetLastError()); }

// An OVERLAPPED with its own manual-reset event, released with it.
struct TOverlapped {
  OVERLAPPED Ov{};
  TOverlapped() { Ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~TOverlapped() {
    if (Ov.hEvent) ::CloseHandle(Ov.hEvent);
  }
  TOverlapped(const TOverlapped&) = delete;
  TOverlapped& operator=(const TOverlapped&) = delete;
  bool Valid() const { return Ov.hEvent != nullptr; }
  void Rearm() {
    const HANDLE event = Ov.hEvent;
    Ov = OVERLAPPED{};
    Ov.hEvent = event;
    ::ResetEvent(event);
  }
};

// Waits up to TimeoutMs for an operation started on Ov; past that, cancels it and waits until the
// system has let go of the caller's buffer. Bytes is what it transferred. Returns 0 or the error.
int FinishWithin(HANDLE Port, TOverlapped& Op, std::uint32_t TimeoutMs, DWORD& Bytes) {
  Bytes = 0;
  if (::WaitForSingleObject(Op.Ov.hEvent, TimeoutMs) != WAIT_OBJECT_0) ::CancelIoEx(Port, &Op.Ov);
  if (::GetOverlappedResult(Port, &Op.Ov, &Bytes, TRUE)) return 0;
  const int e = LastError();
  // A time-out or a cancel is no failure: the call reports what it moved.
  return e == ERROR_OPERATION_ABORTED || e == ERROR_TIMEOUT ? 0 : e;
}

}  // namespace

struct TSerialPort::TState {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  std::string Path;
  TOverlapped ReadOp;
  TOverlapped WriteOp;
  COMMTIMEOUTS Timeouts{};  // as last given to the driver
  // The write thread's write in the driver: its own copy of the bytes, so that the thread's queue may be
  // released while the driver still reads from them.
  bool WritePending = false;
  std::vector<std::uint8_t> PendingBytes;
  TOverlapped QueuedOp;
  TReceiveGathering Gathering;
  // Line-event waits that a driver would not end: released only after the handle is closed.
  std::vector<std::unique_ptr<TCommWaitBlock>> AbandonedWaits;
};

TSerialPort::TSerialPort(std::unique_ptr<TState> State) : State_(std::move(State)) {}

TSerialPort::~TSerialPort() {
  // Nothing may still point into this object's buffers or control blocks when they are released.
  ::PurgeComm(State_->Handle, PURGE_TXABORT | PURGE_RXABORT);
  if (State_->WritePending) {
    ::CancelIoEx(State_->Handle, &State_->QueuedOp.Ov);
    DWORD ignored = 0;
    ::GetOverlappedResult(State_->Handle, &State_->QueuedOp.Ov, &ignored, TRUE);
  }
  ::CloseHandle(State_->Handle);
  State_->AbandonedWaits.clear();
}

std::string TSerialPort::DevicePath(const std::string& Path) {
  // COM10 and above open only through the device namespace; COM1..COM9 open through it as well.
  return Path.rfind("\\\\", 0) == 0 ? Path : "\\\\.\\" + Path;
}

std::unique_ptr<TSerialPort> TSerialPort::Open(const std::string& Path, int& Error) {
  const std::string path = DevicePath(Path);
  auto state = std::make_unique<TState>();
  if (!state->ReadOp.Valid() || !state->WriteOp.Valid() || !state->QueuedOp.Valid()) {
    Error = LastError();
    return nullptr;
  }
  // Share mode 0: a second opener, here or in another process, is refused with ERROR_ACCESS_DENIED.
  state->Handle = ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
  if (state->Handle == INVALID_HANDLE_VALUE) {
    Error = LastError();
    return nullptr;
  }
  state->Path = Path;
  Error = 0;
  return std::unique_ptr<TSerialPort>(new TSerialPort(std::move(state)));
}

bool TSerialPort::IsDeviceGone(int Code) const {
  // Every caller passes what a read, a write, a wait or an error query returned.
  return JudgeCommFailure(TCommCall::Wait, Code) == TCommVerdict::Lost;
}

bool TSerialPort::IsMissingDevice(int Error) { return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND; }

const std::string& TSerialPort::Path() const { return State_->Path; }

int TSerialPort::ApplyLineSettings(const TSerialLineSettings& Settings) {
  // Every member comes from the settings, none from the driver's current block: a value the driver
  // reports back (wine, for one) need not be one it takes again.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  TranslateLineSettings(Settings, dcb);
  if (!::SetCommState(State_->Handle, &dcb)) return LastError();
  return 0;
}

int TSerialPort::SetReceiveThreshold(int Count) {
  // The event thread gathers arrivals itself (TWin32LineWatch::Gather): each wakes it, as the driver
  // reports them, but only the whole exchange is handed to the user-interface thread. A lowered
  // threshold is seen at the next arrival or when the line goes quiet.
  State_->Gathering.Threshold = Count > 1 ? Count : 1;
  return 0;
}

int TSerialPort::SetupBuffers(std::int32_t InSize, std::int32_t OutSize) {
  return ::SetupComm(State_->Handle, static_cast<DWORD>(InSize), static_cast<DWORD>(OutSize)) ? 0 : LastError();
}

int TSerialPort::SetTimeouts() {
  // Reads set their own time-outs (Read); writes wait as long as the line needs.
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;  // until the first read: return at once with what is there
  if (!::SetCommTimeouts(State_->Handle, &t)) return LastError();
  State_->Timeouts = t;
  return 0;
}

int TSerialPort::SetEventMask(std::uint32_t Mask) { return ::SetCommMask(State_->Handle, Mask) ? 0 : LastError(); }

int TSerialPort::GetStatus(TSerialCommStatus& Status, bool) {
  Status = TSerialCommStatus{};
  DWORD errors = 0;
  COMSTAT stat{};
  if (!::ClearCommError(State_->Handle, &errors, &stat)) return LastError();
  // Both words as the driver reports them: CE_TXFULL and CE_MODE reach OnError as well.
  Status.Errors = errors;
  Status.Flags = static_cast<std::uint32_t>(stat.fCtsHold) | static_cast<std::uint32_t>(stat.fDsrHold) << 1 |
                 static_cast<std::uint32_t>(stat.fRlsdHold) << 2 | static_cast<std::uint32_t>(stat.fXoffHold) << 3 |
                 static_cast<std::uint32_t>(stat.fXoffSent) << 4 | static_cast<std::uint32_t>(stat.fEof) << 5 |
                 static_cast<std::uint32_t>(stat.fTxim) << 6;
  Status.cbInQue = stat.cbInQue;
  Status.cbOutQue = stat.cbOutQue;
  return 0;
}

int TSerialPort::Read(void* Buffer, int Count, std::uint32_t TimeoutMs, int IntervalMs, int& Bytes) {
  Bytes = 0;
  if (Count <= 0) return 0;
  // The driver times the read: at most TimeoutMs in all, and once bytes came, no gap above IntervalMs.
  // A total of 0 would mean "no total limit" to the driver, so a zero time-out takes what is there.
  COMMTIMEOUTS t = State_->Timeouts;
  if (TimeoutMs == 0) {
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
  } else {
    t.ReadIntervalTimeout = static_cast<DWORD>(std::max(IntervalMs, 1));
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = TimeoutMs;
  }
  if (std::memcmp(&t, &State_->Timeouts, sizeof t) != 0) {
    if (!::SetCommTimeouts(State_->Handle, &t)) return LastError();
    State_->Timeouts = t;
  }
  TOverlapped& op = State_->ReadOp;
  op.Rearm();
  DWORD got = 0;
  if (::ReadFile(State_->Handle, Buffer, static_cast<DWORD>(Count), &got, &op.Ov)) {
    Bytes = static_cast<int>(got);
    return 0;
  }
  const int e = LastError();
  if (e == ERROR_TIMEOUT) return 0;
  if (e != ERROR_IO_PENDING) return e;
  // The driver ends the read by its time-outs; the extra second only guards against one that does not.
  const int r =
      FinishWithin(State_->Handle, op, TimeoutMs == TSerialHandleObject::Infinite ? INFINITE : TimeoutMs + 1000, got);
  Bytes = static_cast<int>(got);
  return r;
}

int TSerialPort::WriteSome(const void* Buffer, int Count, int& Bytes) {
  Bytes = 0;
  TState& s = *State_;
  if (s.WritePending) {
    DWORD done = 0;
    if (!::GetOverlappedResult(s.Handle, &s.QueuedOp.Ov, &done, FALSE)) {
      const int e = LastError();
      if (e == ERROR_IO_INCOMPLETE) return EAGAIN;
      s.WritePending = false;
      Bytes = static_cast<int>(done);
      // Nothing here cancels a queued write: an abort comes from the driver (a device removed).
      return e == ERROR_TIMEOUT ? 0 : e;
    }
    // The bytes the caller passed last time are still the first ones of its queue.
    s.WritePending = false;
    Bytes = static_cast<int>(done);
    return 0;
  }
  if (Count <= 0) return 0;
  s.PendingBytes.assign(static_cast<const std::uint8_t*>(Buffer), static_cast<const std::uint8_t*>(Buffer) + Count);
  s.QueuedOp.Rearm();
  DWORD done = 0;
  if (::WriteFile(s.Handle, s.PendingBytes.data(), static_cast<DWORD>(Count), &done, &s.QueuedOp.Ov)) {
    Bytes = static_cast<int>(done);
    return 0;
  }
  const int e = LastError();
  if (e != ERROR_IO_PENDING) return e;
  s.WritePending = true;
  return EAGAIN;
}

int TSerialPort::Write(const void* Buffer, int Count, std::uint32_t TimeoutMs, int& Bytes) {
  Bytes = 0;
  if (Count <= 0) return 0;
  TOverlapped& op = State_->WriteOp;
  op.Rearm();
  DWORD done = 0;
  if (::WriteFile(State_->Handle, Buffer, static_cast<DWORD>(Count), &done, &op.Ov)) {
    Bytes = static_cast<int>(done);
    return 0;
  }
  const int e = LastError();
  if (e != ERROR_IO_PENDING) return e;
  const int r = FinishWithin(State_->Handle, op, TimeoutMs, done);
  Bytes = static_cast<int>(done);
  return r;
}

int TSerialPort::WaitWritable(const TSerialHandleObject& Cancel) {
  if (!State_->WritePending) return 0;
  const HANDLE handles[2] = {reinterpret_cast<HANDLE>(Cancel.Handle()), State_->QueuedOp.Ov.hEvent};
  switch (::WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0 + 1: return 0;
    case WAIT_OBJECT_0: return 1;
    default: return LastError();
  }
}

std::unique_ptr<TSerialLineWatch> TSerialPort::Watch(std::uint32_t Mask, const TSerialHandleObject& Wake, int& Error) {
  auto watch = std::make_unique<TWin32LineWatch>(SystemCommWaitCalls(), State_->Handle, Mask,
                                                 reinterpret_cast<HANDLE>(Wake.Handle()), State_->AbandonedWaits,
                                                 TWin32LineWatch::kLivenessCheckMs, &State_->Gathering);
  if (!watch->Valid()) {
    Error = LastError();
    return nullptr;
  }
  Error = 0;
  return watch;
}

}  // namespace hexloader
