#include "serial/serial_threads.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "core/exception_display.h"
#include "serial/serial_comm.h"
#include "serial/serial_error.h"
#include "serial/serial_port.h"
#include "serial/thread_priority.h"

namespace hexloader {
namespace {

// Counts the hand-over as done when the queued call is dropped unrun (the event loop ended first), so
// the thread that handed it over is not left waiting.
template <typename TState>
struct THandOverTicket {
  std::shared_ptr<TState> State;
  bool Ran = false;
  void Finish() {
    {
      std::lock_guard<std::mutex> guard(State->Lock);
      ++State->Ran;
    }
    State->Done.notify_all();
  }
  ~THandOverTicket() {
    if (!Ran) Finish();
  }
};

}  // namespace

// --- TSerialCommBuffer ---

void TSerialCommBuffer::Append(const void* Source, std::int32_t Count) {
  if (Count <= 0) return;
  std::memcpy(Data_.data() + Size_, Source, static_cast<std::size_t>(Count));
  Size_ += Count;
}

void TSerialCommBuffer::Remove(std::int32_t Count) {
  if (Count <= 0) return;
  std::memmove(Data_.data(), Data_.data() + Count, static_cast<std::size_t>(Size_ - Count));
  Size_ -= Count;
}

// --- TSerialThread ---

TSerialThread::TSerialThread(const char* Name, TSerialPort& Port, TUiDispatcher& Dispatcher,
                             std::shared_ptr<TSerialDispatchGate> Gate)
    : Port_(Port),
      Name_(Name),
      Dispatcher_(Dispatcher),
      Gate_(std::move(Gate)),
      HandOver_(std::make_shared<THandOverState>()) {}

TSerialThread::~TSerialThread() {
  // Derived destructors stop and join first; this covers a body that never started.
  Join();
}

void TSerialThread::Start(TThreadPriority Priority) {
  const auto signal = [this](bool& Flag) {
    {
      std::lock_guard<std::mutex> guard(StartLock_);
      Flag = true;
    }
    StartChanged_.notify_all();
  };
  // A thread starts at the normal priority: one that keeps it needs no hold, and its start costs no
  // round trip between the two threads (that counts when a production run opens many ports).
  const bool Hold = Priority != tpNormal;
  Go_ = !Hold;
  try {
    // Held until its priority is set, like a thread created suspended.
    Thread_ = std::thread([this, signal] {
      ThreadId_ = CurrentThreadId();
      NameCurrentThread(Name_);
      signal(Ready_);
      {
        std::unique_lock<std::mutex> lock(StartLock_);
        StartChanged_.wait(lock, [this] { return Go_; });
      }
      if (!StopRequested_.load()) Execute();
    });
  } catch (const std::system_error& e) {
    RaiseCommError(serial_msg::ThreadCreation, e.code().value());
  }
  if (!Hold) return;
  WaitReady();
  // A raise an ordinary user may not make leaves the thread at the normal level: the port still works.
  if (const int e = ApplyThreadPriority(ThreadId_, Priority); e != 0 && !PriorityChangeNotPermitted(e)) {
    StopRequested_ = true;
    signal(Go_);
    Join();
    RaiseCommError(serial_msg::ThreadError, e);
  }
  signal(Go_);
}

void TSerialThread::WaitReady() {
  std::unique_lock<std::mutex> lock(StartLock_);  // ThreadId_ is set before Ready_
  StartChanged_.wait(lock, [this] { return Ready_; });
}

bool TSerialThread::SetPriority(TThreadPriority Priority) {
  if (!Thread_.joinable()) return true;
  WaitReady();  // a thread started unheld may not have its id yet
  const int e = ApplyThreadPriority(ThreadId_, Priority);
  if (e == 0) return true;
  if (PriorityChangeNotPermitted(e)) return false;
  // The pattern names the text before the code.
  throw ESerialCommError("Thread Error: " + TrimmedSysErrorMessage(e) + " (" + std::to_string(e) + ")");
}

void TSerialThread::Join() {
  if (Thread_.joinable() && Thread_.get_id() != std::this_thread::get_id()) Thread_.join();
}

void TSerialThread::HandOver(std::function<void(const std::shared_ptr<TSerialDispatchGate>&)> Step) {
  std::uint64_t before;
  {
    std::lock_guard<std::mutex> guard(HandOver_->Lock);
    before = HandOver_->Ran;
  }
  auto ticket = std::make_shared<THandOverTicket<THandOverState>>();
  ticket->State = HandOver_;
  Dispatcher_.Post([ticket, gate = Gate_, step = std::move(Step)] {
    ticket->Ran = true;
    try {
      if (gate->Comm) step(gate);
    } catch (...) {
      ShowException(std::current_exception());
    }
    ticket->Finish();
  });
  ticket.reset();
  std::unique_lock<std::mutex> lock(HandOver_->Lock);
  HandOver_->Done.wait(lock, [&] { return HandOver_->Ran != before || StopRequested_.load(); });
}

void TSerialThread::SleepUnlessStopped(std::chrono::milliseconds Time) {
  std::unique_lock<std::mutex> lock(HandOver_->Lock);
  HandOver_->Done.wait_for(lock, Time, [this] { return StopRequested_.load(); });
}

void TSerialThread::RequestStop() {
  {
    // Under the lock, so that a hand-over about to wait sees the flag or hears the notification.
    std::lock_guard<std::mutex> guard(HandOver_->Lock);
    StopRequested_ = true;
  }
  HandOver_->Done.notify_all();
}

void TSerialThread::ReportLost(const char* Pattern, int Code) {
  TSerialCustomComm::ReportDeviceLost(Dispatcher_, Gate_, Pattern, Code);
}

// --- TSerialCommEventThread ---

TSerialCommEventThread::TSerialCommEventThread(TSerialPort& Port, std::uint32_t EventMask, TUiDispatcher& Dispatcher,
                                               std::shared_ptr<TSerialDispatchGate> Gate)
    : TSerialThread("serial-event", Port, Dispatcher, std::move(Gate)), EventMask_(EventMask) {}

TSerialCommEventThread::~TSerialCommEventThread() {
  Stop();
  Join();
}

void TSerialCommEventThread::Stop() {
  RequestStop();
  WaitEvent_.Signal();
}

void TSerialCommEventThread::Execute() {
  int error = 0;
  std::unique_ptr<TSerialLineWatch> watch = Port_.Watch(EventMask_, WaitEvent_, error);
  if (!watch) {
    // Without a watch no line event can be seen; stay until stopped rather than spin.
    WaitEvent_.WaitFor(TSerialHandleObject::Infinite);
    return;
  }
  while (!StopRequested_.load()) {
    std::uint32_t occurred = 0;
    const int r = watch->Wait(occurred);
    if (StopRequested_.load()) break;
    if (r > 1) {
      if (Port_.IsDeviceGone(r)) {
        // Reported once; the component then closes itself and stops this thread.
        ReportLost(serial_msg::Statistics, r);
        WaitEvent_.WaitFor(TSerialHandleObject::Infinite);
        break;
      }
      // A failing wait would otherwise be retried at full speed until Close.
      WaitEvent_.WaitFor(TSerialCommWriteThread::RefusedRetryMs);
      continue;
    }
    if (r == 1) {
      // Not a stop: the port lowered its receive threshold, and what the watch had gathered so far goes
      // out now. Reset first, then look at the flag again, so that a Stop signaled meanwhile is never
      // swallowed.
      WaitEvent_.Reset();
      if (StopRequested_.load()) break;
      if (occurred != 0) Deliver(occurred);
      continue;
    }
    if (occurred == 0) continue;
    // The watch is edge-triggered: bytes that arrive while a dispatch is on its way end the next wait,
    // and Deliver adds them to that dispatch's successor.
    Deliver(occurred);
  }
}

void TSerialCommEventThread::Deliver(std::uint32_t Occurred) {
  TSerialDispatchGate& gate = Gate();
  {
    std::lock_guard<std::mutex> guard(gate.DeliveryLock);
    if (gate.DispatchQueued) {
      gate.PendingEvents |= Occurred;
      return;
    }
    gate.DispatchQueued = true;
  }
  PostDispatch(Dispatcher(), SharedGate(), Occurred);
}

void TSerialCommEventThread::PostDispatch(TUiDispatcher& Dispatcher, const std::shared_ptr<TSerialDispatchGate>& Gate,
                                          std::uint32_t Events) {
  Dispatcher.Post([&Dispatcher, Gate, Events] {
    // A dispatch that runs after Close finds the gate closed and does nothing.
    if (Gate->Comm) {
      try {
        TSerialCustomComm::DispatchLineEvents(Gate, Events);
      } catch (...) {
        ShowException(std::current_exception());
      }
    }
    std::uint32_t next;
    {
      std::lock_guard<std::mutex> guard(Gate->DeliveryLock);
      next = Gate->Comm ? Gate->PendingEvents : 0;
      Gate->PendingEvents = 0;
      Gate->DispatchQueued = next != 0;
    }
    // Queued, not run here: other user-interface work gets its turn between the two.
    if (next != 0) PostDispatch(Dispatcher, Gate, next);
  });
}

// --- TSerialCommWriteThread ---

TSerialCommWriteThread::TSerialCommWriteThread(TSerialPort& Port, std::int32_t Capacity, std::mutex& WriteLock,
                                               TUiDispatcher& Dispatcher, std::shared_ptr<TSerialDispatchGate> Gate)
    : TSerialThread("serial-write", Port, Dispatcher, std::move(Gate)), WriteLock_(WriteLock), Buffer_(Capacity) {}

TSerialCommWriteThread::~TSerialCommWriteThread() {
  Stop();
  Join();
}

void TSerialCommWriteThread::Stop() {
  RequestStop();
  WriteEvent_.Signal();
}

bool TSerialCommWriteThread::Enqueue(const void* Source, std::int32_t Count, std::uint32_t TimeoutMs) {
  std::unique_lock<std::mutex> lock(WriteLock_);
  const auto fits = [&] { return static_cast<std::int64_t>(Buffer_.Size()) + Count <= Buffer_.Capacity(); };
  if (!fits()) {
    // Sleeps until the write thread makes room (it notifies Room_), instead of spinning.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    if (!Room_.wait_until(lock, deadline, fits)) return false;
  }
  Buffer_.Append(Source, Count);
  WriteEvent_.Signal();
  return true;
}

void TSerialCommWriteThread::WriteCompleted(std::int32_t Count) {
  bool empty;
  {
    std::lock_guard<std::mutex> guard(WriteLock_);
    Buffer_.Remove(Count);
    empty = Buffer_.Size() == 0;
    // Tested and reset under the lock, so a request that Enqueue raises meanwhile is never lost.
    if (empty) WriteEvent_.Reset();
    else WriteEvent_.Signal();
  }
  Room_.notify_all();
  if (empty && Gate().TxEmptyBound.load())
    HandOver([](const std::shared_ptr<TSerialDispatchGate>& Gate) { Gate->Comm->DispatchEvents(EV_TXEMPTY); });
}

void TSerialCommWriteThread::WaitForStop() {
  // WriteEvent may be signaled for queued bytes as well: waited for again until the flag is set (Stop
  // sets it before signaling, and the flag is read after each reset).
  while (!StopRequested_.load()) {
    WriteEvent_.WaitFor(TSerialHandleObject::Infinite);
    WriteEvent_.Reset();
  }
}

void TSerialCommWriteThread::Execute() {
  for (;;) {
    WriteEvent_.WaitFor(TSerialHandleObject::Infinite);
    // A stop has precedence over queued bytes, which it discards.
    if (StopRequested_.load()) break;
    std::int32_t size;
    const std::uint8_t* data;
    {
      std::lock_guard<std::mutex> guard(WriteLock_);
      size = Buffer_.Size();
      data = Buffer_.Data();
    }
    // The first `size` bytes stay put until WriteCompleted: Enqueue only appends behind them.
    int written = 0;
    const int e = Port_.WriteSome(data, size, written);
    if (e == 0 && (written > 0 || size == 0)) {
      WriteCompleted(written);
    } else if (e == 0 || e == EAGAIN) {
      // The driver's queue is full: wait for room, or for a stop. WriteEvent, still signaled for the
      // bytes waiting, is reset for the wait (it would end it at once) and signaled again after it;
      // more bytes queued meanwhile end it early, and the next write tries again.
      WriteEvent_.Reset();
      if (StopRequested_.load()) break;
      const int w = Port_.WaitWritable(WriteEvent_);
      if (StopRequested_.load()) break;
      if (w > 1) {
        // Without this thread nothing more is written: said once, as a lost device is, rather than
        // leaving later writes to fail with a full buffer and no reason.
        ReportLost(serial_msg::WriteError, w);
        WaitForStop();
        break;
      }
      WriteEvent_.Signal();
    } else if (Port_.IsDeviceGone(e)) {
      // No retry: the device will not come back on this descriptor. The component closes itself.
      ReportLost(serial_msg::WriteError, e);
      WaitForStop();
      break;
    } else {
      HandOver([](const std::shared_ptr<TSerialDispatchGate>& Gate) { Gate->Comm->DispatchEvents(EV_ERR); });
      if (StopRequested_.load()) break;
      // A refused write is retried, but not at full speed: a vanished device would flood the
      // user-interface thread with error dispatches. WriteEvent stays signaled for the bytes, so the
      // pause is a plain sleep that a stop cuts short.
      SleepUnlessStopped(std::chrono::milliseconds(RefusedRetryMs));
    }
    if (StopRequested_.load()) break;
  }
}

}  // namespace hexloader
