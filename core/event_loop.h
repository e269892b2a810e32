#pragma once
// The plain user-interface event loop of the command-line tool and the tests: the thread that calls
// Run (or RunUntil) is the user-interface thread while it runs.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

#include "core/ui_dispatcher.h"

namespace hexloader {

class TEventLoop : public TUiDispatcher {
 public:
  TEventLoop();
  ~TEventLoop() override;
  TEventLoop(const TEventLoop&) = delete;
  TEventLoop& operator=(const TEventLoop&) = delete;

  void RunInUiThread(std::function<void()> Call) override;
  void Post(std::function<void()> Call) override;
  bool IsUiThread() const override;
  // Its calls run between queued calls, from Run and RunUntil, once they are due.
  std::unique_ptr<TUiTimer> CreateTimer() override;

  // Runs queued calls until Quit is called.
  void Run();
  void Quit();

  // Runs queued calls and due timers until Done() is true (checked after each call and at the start)
  // or the time is up. Returns Done()'s last value. Nesting is allowed (a modal loop inside a handler).
  bool RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout);

  // Makes a running RunUntil check Done() again although no call was queued (for a condition that
  // another thread changes without going through the loop).
  void Wake();

  // Calls queued and not yet run.
  std::size_t Pending() const;

 private:
  struct State;
  class TLoopTimer;
  // Runs one due timer or else one queued call; false when there was neither.
  bool RunOne(std::unique_lock<std::mutex>& Lock);
  // Shared with the timers, which may outlive a Run but not the loop.
  std::shared_ptr<State> state_;
};

}  // namespace hexloader
