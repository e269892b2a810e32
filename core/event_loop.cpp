#include "core/event_loop.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

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

// Releases the waiter even when the queued call is dropped unrun (the loop was destroyed first).
struct TCallTicket {
  std::shared_ptr<TCallWait> Wait;
  bool Ran = false;
  ~TCallTicket() {
    if (!Ran) Wait->Finish(std::make_exception_ptr(EAbort("The user-interface loop has ended")));
  }
};

}  // namespace

struct TEventLoop::State {
  std::mutex Lock;
  std::condition_variable Wake;
  std::deque<std::function<void()>> Calls;
  std::thread::id UiThread = std::this_thread::get_id();
  int QuitRequests = 0;
  bool WakeRequested = false;
};

TEventLoop::TEventLoop() : state_(std::make_unique<State>()) {}

TEventLoop::~TEventLoop() {
  // Dropping the queued calls releases every thread still waiting in RunInUiThread (TCallTicket).
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> guard(state_->Lock);
    dropped.swap(state_->Calls);
  }
}

bool TEventLoop::IsUiThread() const {
  std::lock_guard<std::mutex> guard(state_->Lock);
  return state_->UiThread == std::this_thread::get_id();
}

void TEventLoop::Post(std::function<void()> Call) {
  std::lock_guard<std::mutex> guard(state_->Lock);
  state_->Calls.push_back(std::move(Call));
  state_->Wake.notify_all();
}

void TEventLoop::RunInUiThread(std::function<void()> Call) {
  if (IsUiThread()) {
    Call();
    return;
  }
  auto wait = std::make_shared<TCallWait>();
  auto ticket = std::make_shared<TCallTicket>();
  ticket->Wait = wait;
  {
    std::lock_guard<std::mutex> guard(state_->Lock);
    // The ticket travels with the call; an escaping exception goes back to the waiting thread.
    state_->Calls.push_back([ticket, Call = std::move(Call)]() mutable {
      ticket->Ran = true;
      std::exception_ptr error;
      try {
        Call();
      } catch (...) {
        error = std::current_exception();
      }
      ticket->Wait->Finish(error);
    });
    state_->Wake.notify_all();
  }
  ticket.reset();
  std::unique_lock<std::mutex> lock(wait->Lock);
  wait->Finished.wait(lock, [&] { return wait->Done; });
  if (wait->Error) std::rethrow_exception(wait->Error);
}

std::size_t TEventLoop::Pending() const {
  std::lock_guard<std::mutex> guard(state_->Lock);
  return state_->Calls.size();
}

void TEventLoop::Quit() {
  std::lock_guard<std::mutex> guard(state_->Lock);
  ++state_->QuitRequests;
  state_->Wake.notify_all();
}

void TEventLoop::Wake() {
  std::lock_guard<std::mutex> guard(state_->Lock);
  state_->WakeRequested = true;
  state_->Wake.notify_all();
}

bool TEventLoop::RunOne(std::unique_lock<std::mutex>& Lock) {
  if (state_->Calls.empty()) return false;
  std::function<void()> call = std::move(state_->Calls.front());
  state_->Calls.pop_front();
  Lock.unlock();
  try {
    call();
  } catch (...) {
    ShowException(std::current_exception());
  }
  call = nullptr;  // release what the call captured before taking the lock again
  Lock.lock();
  return true;
}

void TEventLoop::Run() {
  std::unique_lock<std::mutex> lock(state_->Lock);
  const std::thread::id previous = state_->UiThread;
  state_->UiThread = std::this_thread::get_id();
  for (;;) {
    if (state_->QuitRequests > 0) {
      --state_->QuitRequests;
      break;
    }
    if (!RunOne(lock)) state_->Wake.wait(lock);
  }
  state_->UiThread = previous;
}

bool TEventLoop::RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  std::unique_lock<std::mutex> lock(state_->Lock);
  const std::thread::id previous = state_->UiThread;
  state_->UiThread = std::this_thread::get_id();
  bool done = false;
  for (;;) {
    lock.unlock();
    done = Done();
    lock.lock();
    if (done) break;
    if (RunOne(lock)) continue;
    state_->WakeRequested = false;
    if (!state_->Wake.wait_until(lock, deadline, [&] { return !state_->Calls.empty() || state_->WakeRequested; })) {
      lock.unlock();
      done = Done();
      lock.lock();
      break;
    }
  }
  state_->UiThread = previous;
  return done;
}

}  // namespace hexloader
