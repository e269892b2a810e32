#include "ui/qt_ui_dispatcher.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <exception>
#include <mutex>

#include "core/exception.h"
#include "core/exception_display.h"

namespace hexloader {
namespace {

// Completion of one RunInUiThread call, shared by the waiting thread and the queued call.
struct TCallWait {
  std::mutex Lock;
  std::condition_variable Finished;
  bool Done = false;
  std::exception_ptr Error;

  void Finish(std::exception_ptr E) {
    std::lock_guard<std::mutex> guard(Lock);
    Done = true;
    Error = std::move(E);
    Finished.notify_all();
  }
};

// Travels with the queued call. Qt deletes a queued call unrun when its context object goes; the
// waiting thread is then released instead of blocking for ever.
struct TCallTicket {
  std::shared_ptr<TCallWait> Wait;
  bool Ran = false;
  ~TCallTicket() {
    if (!Ran) Wait->Finish(std::make_exception_ptr(EAbort("The user-interface loop has ended")));
  }
};

}  // namespace

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
  auto wait = std::make_shared<TCallWait>();
  auto ticket = std::make_shared<TCallTicket>();
  ticket->Wait = wait;
  // A queued (not blocking-queued) call plus our own wait: the caller can be released when the call
  // is dropped, and the exception travels back.
  QMetaObject::invokeMethod(
      Context_.get(),
      [ticket, Call = std::move(Call)] {
        ticket->Ran = true;
        std::exception_ptr error;
        try {
          Call();
        } catch (...) {
          error = std::current_exception();
        }
        ticket->Wait->Finish(error);
      },
      Qt::QueuedConnection);
  ticket.reset();
  std::unique_lock<std::mutex> lock(wait->Lock);
  wait->Finished.wait(lock, [&] { return wait->Done; });
  if (wait->Error) std::rethrow_exception(wait->Error);
}

}  // namespace hexloader
