#include "serial/serial_comm.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <thread>

#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "serial/line_settings.h"
#include "serial/port_access.h"
#include "serial/serial_port.h"
#include "serial/serial_threads.h"

namespace hexloader {

TSerialCustomComm::TSerialCustomComm()
    : Buffers_(std::make_unique<TSerialBuffers>()),
      FlowControl_(std::make_unique<TSerialFlowControl>()),
      EventChars_(std::make_unique<TSerialEventChars>()) {
  Buffers_->SetOnChange([this](TSerialPersistent&) { BuffersChanged(); });
  EventChars_->SetOnChange([this](TSerialPersistent&) { EventCharsChanged(); });
  FlowControl_->SetOnChange([this](TSerialPersistent&) { FlowControlChanged(); });
}

TSerialCustomComm::~TSerialCustomComm() {
  Destroying_ = true;
  try {
    CloseInternal(false);
  } catch (...) {
    // Nothing may escape a destructor; OnClose is not fired here, so only platform trouble is left.
  }
  SetDisplay(nullptr);
}

bool TSerialCustomComm::IsOpen() const { return Handle_ != nullptr; }

std::string TSerialCustomComm::GetDevicePath() const {
  // Only "%d" (and "%%") are recognised: the name is never handed to a printf-style formatter.
  std::string path;
  bool numberDone = false;
  for (std::size_t i = 0; i < DeviceName_.size(); ++i) {
    const char c = DeviceName_[i];
    if (c == '%' && i + 1 < DeviceName_.size()) {
      const char k = DeviceName_[i + 1];
      if (k == 'd' && !numberDone) {
        path += std::to_string(PortNum_);
        numberDone = true;
        ++i;
        continue;
      }
      if (k == '%') {
        path += '%';
        ++i;
        continue;
      }
    }
    path += c;
  }
  return path;
}

void TSerialCustomComm::Loaded() {
  TSerialComponent::Loaded();
  if (!DesignMode() && AutoOpen_) Open();
}

void TSerialCustomComm::Notification(const void* Component) {
  if (Component != nullptr && Component == static_cast<const void*>(Display_)) SetDisplay(nullptr);
  TSerialComponent::Notification(Component);
}

void TSerialCustomComm::SetDisplay(TSerialDisplay* Value) {
  if (Display_ == Value) return;
  if (Display_) {
    auto& list = Display_->Components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  Display_ = Value;
  if (Display_) Display_->Components_.push_back(this);
}

// --- open and close ---

void TSerialCustomComm::CheckClosed() const {
  if (IsOpen()) throw ESerialCommError(serial_msg::PortIsOpen);
}

void TSerialCustomComm::OpenHandle() {
  const std::string path = GetDevicePath();
  int error = 0;
  Handle_ = TSerialPort::Open(path, error);
  if (Handle_) return;
  if (TSerialPort::IsMissingDevice(error)) throw ESerialCommError(DeviceNotFoundMessage(path));
  throw ESerialCommError(CantOpenMessage(path, error, error == EACCES ? PortAccessAdvice(path) : std::string()));
}

void TSerialCustomComm::Open() {
  CheckClosed();
  // What is left of the settle pause a self-close did not take.
  const auto Now = std::chrono::steady_clock::now();
  if (Now < SettleUntil_) std::this_thread::sleep_for(SettleUntil_ - Now);
  OpenHandle();
  try {
    WriteDCB();
    SetupBuffers();
    SetTimeouts();
    SetEventMask();
    StartThreads();
    DoOpen();
  } catch (...) {
    // Stops a thread that was already started (a failed second thread), then closes the device.
    StopThreads();
    ReleaseHandle();
    throw;
  }
}

void TSerialCustomComm::SetOnTxEmpty(TNotifyEvent Handler) {
  OnTxEmpty_ = std::move(Handler);
  if (Gate_) Gate_->TxEmptyBound = static_cast<bool>(OnTxEmpty_);
}

void TSerialCustomComm::StartThreads() {
  TUiDispatcher& dispatcher = UiDispatcher();
  Gate_ = std::make_shared<TSerialDispatchGate>();
  Gate_->Comm = this;
  Gate_->TxEmptyBound = static_cast<bool>(OnTxEmpty_);
  // Owned here and stopped and joined by StopThreads; each waits for the user-interface thread only
  // while handing over a dispatch. Each is woken by one wait object of its own, signaled for every
  // request to it (the event thread's WaitEvent: a stop, a lowered receive threshold; the write
  // thread's WriteEvent: queued bytes, a stop), so a port holds four descriptors on Linux: the tty,
  // the event thread's epoll and these two eventfds (serial_threads.h).
  if (EventMask_ != 0) {
    auto thread = std::make_unique<TSerialCommEventThread>(*Handle_, EventMask_, dispatcher, Gate_);
    thread->Start(EventPriority_);
    EventThread_ = std::move(thread);
  }
  if (!DirectWrite_) {
    auto thread =
        std::make_unique<TSerialCommWriteThread>(*Handle_, Buffers_->WriteSize(), WriteLock_, dispatcher, Gate_);
    thread->Start(WritePriority_);
    WriteThread_ = std::move(thread);
  }
}

void TSerialCustomComm::RequestThreadsStop() {
  std::lock_guard<std::mutex> guard(ReadLock_);
  if (EventThread_) EventThread_->Stop();
  if (WriteThread_) WriteThread_->Stop();
}

void TSerialCustomComm::StopThreads() {
  // Queued dispatches that run later find the gate closed and do nothing.
  if (Gate_) Gate_->Comm = nullptr;
  Gate_.reset();
  RequestThreadsStop();
  // Joined, not just forgotten: the threads use the device and the component's lock, so both must
  // outlive them. Neither can be stuck on this thread: a pending hand-over also ends on Stop.
  if (EventThread_) EventThread_->Join();
  if (WriteThread_) WriteThread_->Join();
  EventThread_.reset();
  WriteThread_.reset();
}

void TSerialCustomComm::ReleaseHandle() { Handle_.reset(); }

void TSerialCustomComm::Close() { CloseInternal(!Destroying_); }

void TSerialCustomComm::CloseInternal(bool FireOnClose, bool Settle) {
  if (!IsOpen()) return;
  StopThreads();
  ReleaseHandle();
  // Lets a device (or the driver behind it) settle before the port is opened again.
  SettleUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(CloseSettleMs);
  if (FireOnClose) DoClose();
  if (Settle) std::this_thread::sleep_for(std::chrono::milliseconds(CloseSettleMs));
}

void TSerialCustomComm::CloseTogether(const std::vector<TSerialCustomComm*>& Comms) {
  bool Closed = false;
  std::exception_ptr First;
  // Every port's threads are asked to stop before the first is joined, so that they wind down side
  // by side rather than one port after another.
  for (TSerialCustomComm* Comm : Comms)
    if (Comm && Comm->IsOpen()) Comm->RequestThreadsStop();
  for (TSerialCustomComm* Comm : Comms) {
    if (!Comm || !Comm->IsOpen()) continue;
    Closed = true;
    try {
      Comm->StopThreads();
      Comm->ReleaseHandle();
      if (!Comm->Destroying_) Comm->DoClose();
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  if (First) std::rethrow_exception(First);
  if (Closed) std::this_thread::sleep_for(std::chrono::milliseconds(CloseSettleMs));
}

void TSerialCustomComm::DoOpen() {
  if (!OnOpen_) return;
  try {
    OnOpen_(*this);
  } catch (...) {
    ShowException(std::current_exception());
  }
}

void TSerialCustomComm::DoClose() {
  if (OnClose_) OnClose_(*this);
}

// --- applying settings ---

void TSerialCustomComm::WriteDCB() {
  if (!IsOpen() || !UpdateDCB_) return;
  // A refused setting is the setter's error, never a lost device: the port stays open (adapters refuse
  // rates they do not support with the same code a pulled one gives).
  if (const int e = Handle_->ApplyLineSettings(BuildLineSettings(*this))) RaiseCommError(serial_msg::WriteDcb, e);
}

void TSerialCustomComm::SetupBuffers() {
  if (!IsOpen()) return;
  if (const int e = Handle_->SetupBuffers(Buffers_->ReadSize(), Buffers_->WriteSize()))
    RaiseCommError(serial_msg::InitBuffers, e);
}

void TSerialCustomComm::SetTimeouts() {
  if (!IsOpen()) return;
  if (const int e = Handle_->SetTimeouts()) RaiseCommError(serial_msg::SetTimeouts, e);
}

void TSerialCustomComm::SetEventMask() {
  std::uint32_t mask = 0;
  for (int e = ceBreak; e <= ceEvent2; ++e)
    if (MonitorEvents_.Contains(static_cast<TSerialCommEvent>(e)))
      mask |= CommEventBit(static_cast<TSerialCommEvent>(e));
  // The write thread reports the end of output itself.
  if (!DirectWrite_) mask &= ~EV_TXEMPTY;
  EventMask_ = mask;
  if (!IsOpen()) return;
  if (const int e = Handle_->SetEventMask(EventMask_)) RaiseCommError(serial_msg::SetEventMask, e);
}

void TSerialCustomComm::BuffersChanged() {
  CheckClosed();
  SetupBuffers();
  WriteDCB();
}

void TSerialCustomComm::EventCharsChanged() { WriteDCB(); }
void TSerialCustomComm::FlowControlChanged() { WriteDCB(); }

// --- property setters ---

void TSerialCustomComm::SetPortNum(std::int32_t Value) {
  CheckClosed();
  PortNum_ = Value;
}

void TSerialCustomComm::SetDeviceName(const std::string& Value) {
  CheckClosed();
  DeviceName_ = Value;
}

void TSerialCustomComm::SetMonitorEvents(TSerialCommEvents Value) {
  CheckClosed();
  MonitorEvents_ = Value;
}

void TSerialCustomComm::SetBuffers(const TSerialBuffers& Value) {
  CheckClosed();
  Buffers_->Assign(Value);
}

// The running thread first: the property changes only with it, so it never names a priority the
// thread does not have. A change the process may not make leaves both as they were, silently.
void TSerialCustomComm::SetEventPriority(TThreadPriority Value) {
  if (EventPriority_ == Value) return;
  if (EventThread_ && !EventThread_->SetPriority(Value)) return;
  EventPriority_ = Value;
}

void TSerialCustomComm::SetWritePriority(TThreadPriority Value) {
  if (WritePriority_ == Value) return;
  if (WriteThread_ && !WriteThread_->SetPriority(Value)) return;
  WritePriority_ = Value;
}

void TSerialCustomComm::SetDirectWrite(bool Value) {
  CheckClosed();
  DirectWrite_ = Value;
}

void TSerialCustomComm::SetBaudrate(TSerialBaudrate Value) {
  if (Baudrate_ == Value) return;
  Baudrate_ = Value;
  if (Value != brUser) UserBaudrate_ = 0;
  WriteDCB();
}

void TSerialCustomComm::SetParity(TSerialParity Value) {
  if (Parity_ == Value) return;
  Parity_ = Value;
  WriteDCB();
}

void TSerialCustomComm::SetDatabits(TSerialDatabits Value) {
  if (Databits_ == Value) return;
  Databits_ = Value;
  WriteDCB();
}

void TSerialCustomComm::SetStopbits(TSerialStopbits Value) {
  if (Stopbits_ == Value) return;
  Stopbits_ = Value;
  WriteDCB();
}

void TSerialCustomComm::SetOptions(TSerialCommOptions Value) {
  if (Options_ == Value) return;
  Options_ = Value;
  WriteDCB();
}

void TSerialCustomComm::SetFlowControl(const TSerialFlowControl& Value) { FlowControl_->Assign(Value); }
void TSerialCustomComm::SetEventChars(const TSerialEventChars& Value) { EventChars_->Assign(Value); }

void TSerialCustomComm::SetUpdateDCB(bool Value) {
  CheckClosed();
  UpdateDCB_ = Value;
}

void TSerialCustomComm::SetUserBaudrate(std::int32_t Value) {
  if (UserBaudrate_ == Value) return;
  UserBaudrate_ = Value;
  Baudrate_ = brUser;
  WriteDCB();
}

}  // namespace hexloader
