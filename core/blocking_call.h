#pragma once
// One call that a thread hands to the user-interface thread and waits for (RunInUiThread), shared by
// every dispatcher: the queued part runs the call there and carries an escaping exception back; a
// queued part that is destroyed unrun (its loop ended first) releases the waiter with EAbort.
#include <functional>
#include <memory>

namespace hexloader {

class TBlockingCall {
 public:
  explicit TBlockingCall(std::function<void()> Call);
  TBlockingCall(const TBlockingCall&) = delete;
  TBlockingCall& operator=(const TBlockingCall&) = delete;

  // What to queue on the user-interface thread; taken once.
  std::function<void()> TakeQueuedPart();

  // Blocks until the queued part has run or was dropped; raises what escaped the call.
  void Wait();

 private:
  struct TState;
  std::shared_ptr<TState> State_;
  std::function<void()> Queued_;
};

}  // namespace hexloader
