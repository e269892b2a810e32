#pragma once
// A one-shot timer on the user-interface thread: what waits for something that may never come (the
// device's reply) uses it to give up. The plain event loop and the Qt dispatcher each make their own
// (TUiDispatcher::CreateTimer).
#include <chrono>
#include <functional>

namespace hexloader {

class TUiTimer {
 public:
  // Destroying an armed timer disarms it: its call never runs afterwards.
  virtual ~TUiTimer() = default;

  // Arms the timer: Call runs once on the user-interface thread Delay from now, unless Stop or another
  // Start comes first. An exception escaping Call goes to the central exception display. Call Start and
  // Stop on the user-interface thread only.
  virtual void Start(std::chrono::milliseconds Delay, std::function<void()> Call) = 0;
  virtual void Stop() = 0;
  // Armed and not yet run.
  virtual bool Active() const = 0;
};

}  // namespace hexloader
