#pragma once
// The user-interface dispatcher on the Qt event loop. Calls are posted as events to an object that
// lives on the thread that created the dispatcher (the GUI thread), so they also run inside modal
// loops such as an open message box, one at a time and in the order queued.
#include <memory>

#include "core/ui_dispatcher.h"

class QObject;

namespace hexloader {

class TQtUiDispatcher : public TUiDispatcher {
 public:
  // Create on the GUI thread once the QApplication exists; the program registers it with
  // SetUiDispatcher.
  TQtUiDispatcher();
  ~TQtUiDispatcher() override;
  TQtUiDispatcher(const TQtUiDispatcher&) = delete;
  TQtUiDispatcher& operator=(const TQtUiDispatcher&) = delete;

  // Blocks the calling thread until Call has run on the GUI thread; an exception escaping Call is
  // raised again here. A call still queued when the dispatcher (or the application) goes away
  // releases its caller with EAbort.
  void RunInUiThread(std::function<void()> Call) override;
  // Queues Call; exceptions escaping it go to the central exception display.
  void Post(std::function<void()> Call) override;
  bool IsUiThread() const override;
  // A QTimer on the GUI thread; it fires between events and inside modal loops.
  std::unique_ptr<TUiTimer> CreateTimer() override;

 private:
  std::unique_ptr<QObject> Context_;
};

}  // namespace hexloader
