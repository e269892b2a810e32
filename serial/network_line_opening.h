#pragma once
// Opening a network line without holding up the caller: name resolution, the connection, the
// negotiation and the line settings run on a worker thread of this object, so that a window or a
// command line serving other ports keeps its loop turning while a device server is slow or absent.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "serial/network_line.h"
#include "serial/serial_event.h"

namespace hexloader {

class TNetworkLineOpening {
 public:
  // Starts at once. OnFinished (may be empty) runs on the worker thread when the opening has ended,
  // successfully or not: it must not block nor destroy this object (post to your own loop). Raises ESerialCommError
  // when no thread or event can be had.
  TNetworkLineOpening(const TNetworkPortAddress& Address, const TNetworkLineTimes& Times,
                      std::optional<TSerialLineSettings> Settings, std::function<void()> OnFinished = {});
  // Cancels an opening still under way and waits for its end, which takes no longer than the socket
  // call in progress takes to see the cancel (a resolver still busy is left behind, see ConnectTcp).
  ~TNetworkLineOpening();
  TNetworkLineOpening(const TNetworkLineOpening&) = delete;
  TNetworkLineOpening& operator=(const TNetworkLineOpening&) = delete;

  // Signaled once the opening has ended: for a wait set, or WaitFor.
  const TSerialHandleObject& Finished() const { return Finished_; }
  bool IsFinished() const { return Done_.load(std::memory_order_acquire); }
  // Waits up to TimeoutMs for the end; true once it has come.
  bool WaitFinished(std::uint32_t TimeoutMs) {
    return Finished_.WaitFor(TimeoutMs) == TSerialHandleObject::wrSignaled && IsFinished();
  }
  // Ends the opening early; it fails with Cancelled (unless it had already ended).
  void Cancel() { Cancel_.Signal(); }

  // Once finished: the line (taken by the first call), or nothing with Failure() saying why.
  std::unique_ptr<TNetworkLine> TakeLine();
  TNetworkLineFailure Failure() const { return IsFinished() ? Failure_ : TNetworkLineFailure{}; }

 private:
  TSerialEvent Cancel_;
  TSerialEvent Finished_;
  // Written by the worker before it sets Done_ (and signals Finished_), read by the owner after.
  std::unique_ptr<TNetworkLine> Line_;
  TNetworkLineFailure Failure_;
  std::atomic<bool> Done_{false};
  std::thread Worker_;
};

}  // namespace hexloader
