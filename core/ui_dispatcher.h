#pragma once
// The user-interface thread, as the rest of the program sees it. The GUI runs it on the Qt event loop,
// the command-line tool and the tests on the plain event loop; the serial component's threads hand
// their work to it and never call a handler themselves.
#include <functional>
#include <memory>

#include "core/ui_timer.h"

namespace hexloader {

class TUiDispatcher {
 public:
  virtual ~TUiDispatcher() = default;

  // Runs Call on the user-interface thread (between events, and inside modal loops), one call at a
  // time, and blocks the calling thread until it has returned there. An exception that escapes Call
  // is raised again in the calling thread. Called on the user-interface thread, runs Call at once.
  virtual void RunInUiThread(std::function<void()> Call) = 0;

  // Queues Call to run on the user-interface thread once its loop runs again; returns at once.
  // Exceptions escaping Call go to the central exception display.
  virtual void Post(std::function<void()> Call) = 0;

  // True on the user-interface thread.
  virtual bool IsUiThread() const = 0;

  // A new, disarmed timer whose calls run on this user-interface thread. Create, use and destroy it
  // on the user-interface thread, before the dispatcher goes away.
  virtual std::unique_ptr<TUiTimer> CreateTimer() = 0;
};

// The process-wide dispatcher, set by the program's entry (or a test) before any component opens.
void SetUiDispatcher(TUiDispatcher* Dispatcher);
TUiDispatcher& UiDispatcher();  // raises hexloader::Exception when none was set

}  // namespace hexloader
