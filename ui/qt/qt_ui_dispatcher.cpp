#include "ui/qt/qt_ui_dispatcher.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <exception>

#include "core/blocking_call.h"
#include "core/exception_display.h"

namespace hexloader {
namespace {

class TQtUiTimer : public TUiTimer {
 public:
  TQtUiTimer() {
    Timer_.setSingleShot(true);
    Timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Timer_, &QTimer::timeout, [this] {
      // Taken out first: the call may start the timer again, or destroy it.
      std::function<void()> call;
      call.swap(Call_);
      try {
        if (call) call();
      } catch (...) {
        ShowException(std::current_exception());
      }
    });
  }
  void Start(std::chrono::milliseconds Delay, std::function<void()> Call) override {
    Call_ = std::move(Call);
    Timer_.start(Delay);
  }
  void Stop() override {
    Timer_.stop();
    Call_ = nullptr;
  }
  bool Active() const override { return Timer_.isActive(); }

 private:
  QTimer Timer_;
  std::function<void()> Call_;
};

}  // namespace

std::unique_ptr<TUiTimer> TQtUiDispatcher::CreateTimer() { return std::make_unique<TQtUiTimer>(); }

TQtUiDispatcher::TQtUiDispatcher() : Context_(std::make_unique<QObject>()) {}

// Context_ goes first: calls still queued on it are deleted unrun, which releases their callers.
TQtUiDispatcher::~TQtUiDispatcher() { Context_.reset(); }

bool TQtUiDispatcher::IsUiThread() const { return QThread::currentThread() == Context_->thread(); }

void TQtUiDispatcher::Post(std::function<void()> Call) {
  QMetaObject::invokeMethod(
      Context_.get(),
      [Call = std::move(Call)] {
        try {
          Call();
        } catch (...) {
          ShowException(std::current_exception());
        }
      },
      Qt::QueuedConnection);
}

void TQtUiDispatcher::RunInUiThread(std::function<void()> Call) {
  if (IsUiThread()) {
    Call();
    return;
  }
  // A queued (not blocking-queued) call plus our own wait: the caller is released when Qt drops the
  // call with its context object, and the exception travels back.
  TBlockingCall call(std::move(Call));
  QMetaObject::invokeMethod(Context_.get(), call.TakeQueuedPart(), Qt::QueuedConnection);
  call.Wait();
}

}  // namespace hexloader
