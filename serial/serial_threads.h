#pragma once
// The serial component's two background threads, their base and the write thread's queue.
// Each thread object is owned by the component (TSerialCustomComm), which starts it at Open and at
// Close asks it to stop and joins it. Neither thread calls a handler: both hand their work to the
// user-interface thread. The write thread waits until it has run there (or until it is asked to
// stop); the event thread keeps one dispatch on its way at a time and goes back to its wait at once.
//
// Descriptors: each thread has one wait object of its own (an eventfd on Linux) that every request to
// it signals: the event thread's WaitEvent (a stop, a lowered receive threshold) and the write thread's
// WriteEvent (queued bytes, a stop). What the request was is read from the stop flag and the queue
// after waking. The start-up hand-shake and the wait for a hand-over to run use a mutex and a
// condition variable. So an open port holds four descriptors on Linux: the tty, the event thread's
// epoll and the two wait objects.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/ui_dispatcher.h"
#include "serial/serial_event.h"
#include "serial/serial_types.h"

namespace hexloader {

class TSerialCustomComm;
class TSerialPort;

// The component as its queued dispatches see it. Read and cleared only on the user-interface thread:
// Close clears Comm, so a dispatch that runs after Close does nothing.
struct TSerialDispatchGate {
  TSerialCustomComm* Comm = nullptr;
  // The event thread's line events go to the user-interface thread one dispatch at a time: while one
  // is queued or running, the events that occur are gathered in PendingEvents and go out in one more
  // dispatch as soon as it has run. So OnRxChar is never nested and bytes arriving during it bring
  // exactly one more call, while the event thread goes straight back to its wait instead of being
  // woken a second time, per received byte, to hear that the dispatch is over.
  std::mutex DeliveryLock;
  bool DispatchQueued = false;      // guarded by DeliveryLock
  std::uint32_t PendingEvents = 0;  // EV_* bits; guarded by DeliveryLock
  // Whether OnTxEmpty is bound, read by the write thread: with no handler, the transmit-empty
  // hand-over would cost a trip through the user-interface thread per frame for nothing.
  std::atomic<bool> TxEmptyBound{false};
  // Set once by whichever thread first sees the device gone; from then on nothing on this port is
  // reported again, until the next Open makes a new gate.
  std::atomic<bool> Lost{false};
};

// Byte queue of fixed capacity; the caller guarantees room (Append) and count (Remove).
class TSerialCommBuffer {
 public:
  explicit TSerialCommBuffer(std::int32_t Capacity) : Data_(static_cast<std::size_t>(Capacity)) {}
  void Append(const void* Source, std::int32_t Count);
  void Remove(std::int32_t Count);
  std::int32_t Size() const { return Size_; }
  std::int32_t Capacity() const { return static_cast<std::int32_t>(Data_.size()); }
  const std::uint8_t* Data() const { return Data_.data(); }

 private:
  std::vector<std::uint8_t> Data_;
  std::int32_t Size_ = 0;
};

class TSerialThread {
 public:
  virtual ~TSerialThread();  // joins a thread that is still running
  TSerialThread(const TSerialThread&) = delete;
  TSerialThread& operator=(const TSerialThread&) = delete;

  // Creates the thread held before its body, gives it Priority, then lets it run (at the normal
  // priority it runs at once). Raises
  // ESerialCommError ("Thread creation error: %s", "Thread Error: %s (%d)"); the thread has ended then.
  void Start(TThreadPriority Priority);
  // A running thread's new priority. False, and nothing changed, when the process may not make that
  // change; raises "Thread Error: %s (%d)" for any other failure (the thread keeps its priority).
  bool SetPriority(TThreadPriority Priority);
  // Asks the thread to end and wakes it; returns at once.
  virtual void Stop() = 0;
  // Waits until the body has returned.
  void Join();
  bool StopRequested() const { return StopRequested_.load(); }

 protected:
  // Name: what the platform shows for the thread (at most 15 characters), for tools and tests.
  TSerialThread(const char* Name, TSerialPort& Port, TUiDispatcher& Dispatcher,
                std::shared_ptr<TSerialDispatchGate> Gate);
  virtual void Execute() = 0;
  // Runs Step on the user-interface thread and waits until it has run there or the thread is asked
  // to stop. Exceptions escaping Step go to the central exception display, so they never end this
  // thread.
  void HandOver(std::function<void(const std::shared_ptr<TSerialDispatchGate>&)> Step);
  // Sets the stop-requested flag and ends a hand-over being waited for; the derived Stop then wakes
  // the thread's own wait object.
  void RequestStop();
  // Sleeps for Time, or until the thread is asked to stop.
  void SleepUnlessStopped(std::chrono::milliseconds Time);

  // The device is gone, as a platform call failing with Code showed (see TSerialCustomComm).
  void ReportLost(const char* Pattern, int Code);

  // Read without the user-interface thread: only the gate's atomic members and what DeliveryLock guards.
  TSerialDispatchGate& Gate() const { return *Gate_; }
  const std::shared_ptr<TSerialDispatchGate>& SharedGate() const { return Gate_; }
  TUiDispatcher& Dispatcher() const { return Dispatcher_; }

  std::atomic<bool> StopRequested_{false};
  TSerialPort& Port_;

 private:
  const char* Name_;
  TUiDispatcher& Dispatcher_;
  std::shared_ptr<TSerialDispatchGate> Gate_;
  // The hand-over's end: shared with the queued call, which may run after this thread has gone.
  struct THandOverState {
    std::mutex Lock;
    std::condition_variable Done;
    std::uint64_t Ran = 0;  // hand-overs that have run (or were dropped unrun)
  };
  std::shared_ptr<THandOverState> HandOver_;
  // Start-up: the thread has its id (Ready) and may run its body (Go).
  std::mutex StartLock_;
  std::condition_variable StartChanged_;
  bool Ready_ = false;
  bool Go_ = false;
  std::thread Thread_;
  std::atomic<long> ThreadId_{0};

  void WaitReady();  // until the thread has its id
};

class TSerialCommEventThread : public TSerialThread {
 public:
  TSerialCommEventThread(TSerialPort& Port, std::uint32_t EventMask, TUiDispatcher& Dispatcher,
                         std::shared_ptr<TSerialDispatchGate> Gate);
  ~TSerialCommEventThread() override;
  // Sets the stop-requested flag, then signals WaitEvent.
  void Stop() override;

 protected:
  void Execute() override;

 private:
  // Hands Occurred to the user-interface thread, or adds it to the dispatch already on its way.
  void Deliver(std::uint32_t Occurred);
  static void PostDispatch(TUiDispatcher& Dispatcher, const std::shared_ptr<TSerialDispatchGate>& Gate,
                           std::uint32_t Events);

  std::uint32_t EventMask_;
  TSerialWaitEvent WaitEvent_;
};

class TSerialCommWriteThread : public TSerialThread {
 public:
  // The queue's capacity is Capacity for the thread's whole life. WriteLock guards the queue.
  TSerialCommWriteThread(TSerialPort& Port, std::int32_t Capacity, std::mutex& WriteLock, TUiDispatcher& Dispatcher,
                         std::shared_ptr<TSerialDispatchGate> Gate);
  ~TSerialCommWriteThread() override;
  // Queues Count bytes; waits at most TimeoutMs for room. False when no room appeared in time.
  bool Enqueue(const void* Source, std::int32_t Count, std::uint32_t TimeoutMs);
  // Sets the stop-requested flag and signals WriteEvent; queued bytes are discarded.
  void Stop() override;

  static constexpr std::uint32_t RefusedRetryMs = 100;

 protected:
  void Execute() override;

 private:
  void WriteCompleted(std::int32_t Count);
  // After a report of a lost device: nothing more to do until Stop.
  void WaitForStop();

  std::mutex& WriteLock_;
  std::condition_variable Room_;
  TSerialCommBuffer Buffer_;
  // Signaled while the queue holds bytes not yet handed to the platform, and by Stop.
  TSerialWaitEvent WriteEvent_;
};

}  // namespace hexloader
