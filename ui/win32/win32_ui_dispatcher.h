#pragma once
// The user-interface dispatcher on the Win32 message loop of the thread that creates it. Calls arrive
// as posted messages to a message-only window of that thread, so they run wherever the thread pumps
// messages: its main loop and every modal loop (message boxes, the open dialog, dialog boxes), one
// at a time and in the order queued. Timers are window timers of the same window.
#include <memory>

#include "core/ui_dispatcher.h"

namespace hexloader {

class TWin32UiDispatcher : public TUiDispatcher {
 public:
  // Create (and destroy) on the user-interface thread; raises hexloader::Exception when the window
  // cannot be made. The program registers it with SetUiDispatcher.
  TWin32UiDispatcher();
  // A call still queued is dropped unrun: a thread waiting in RunInUiThread for it is released with
  // EAbort, and later calls from other threads are dropped the same way.
  ~TWin32UiDispatcher() override;
  TWin32UiDispatcher(const TWin32UiDispatcher&) = delete;
  TWin32UiDispatcher& operator=(const TWin32UiDispatcher&) = delete;

  // Blocks the calling thread until Call has run on the user-interface thread; an exception escaping
  // Call is raised again here. On the user-interface thread Call runs at once.
  void RunInUiThread(std::function<void()> Call) override;
  // Queues Call; exceptions escaping it go to the central exception display. Raises
  // hexloader::Exception when the thread's message queue refuses the wake-up message.
  void Post(std::function<void()> Call) override;
  bool IsUiThread() const override;
  // A window timer (SetTimer) of the dispatcher's window; it fires between messages and inside modal
  // loops, not before its delay and rounded up to the system timer's resolution.
  std::unique_ptr<TUiTimer> CreateTimer() override;

  struct TState;  // shared with the timers and the window procedure

 private:
  std::shared_ptr<TState> State_;
};

}  // namespace hexloader
