#include "core/blocking_call.h"

#include <condition_variable>
#include <exception>
#include <mutex>

#include "core/exception.h"

namespace hexloader {

struct TBlockingCall::TState {
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

TBlockingCall::TBlockingCall(std::function<void()> Call) : State_(std::make_shared<TState>()) {
  // Travels with the queued part, so that dropping it unrun still releases the waiter.
  struct TTicket {
    std::shared_ptr<TState> Wait;
    bool Ran = false;
    ~TTicket() {
      if (!Ran) Wait->Finish(std::make_exception_ptr(EAbort("The user-interface loop has ended")));
    }
  };
  auto ticket = std::make_shared<TTicket>();
  ticket->Wait = State_;
  Queued_ = [ticket, Call = std::move(Call)] {
    ticket->Ran = true;
    std::exception_ptr error;
    try {
      Call();
    } catch (...) {
      error = std::current_exception();
    }
    // Moved, so no reference to the exception stays on this thread once the waiter is released.
    ticket->Wait->Finish(std::move(error));
  };
}

std::function<void()> TBlockingCall::TakeQueuedPart() { return std::move(Queued_); }

void TBlockingCall::Wait() {
  // A queued part never taken would otherwise keep the waiter blocked for ever.
  Queued_ = nullptr;
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(State_->Lock);
    State_->Finished.wait(lock, [&] { return State_->Done; });
    // Taken out, so the exception object lives and dies on this thread only, whichever thread drops
    // the shared state last.
    error = std::move(State_->Error);
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace hexloader
