#include "core/event_loop.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "core/blocking_call.h"
#include "core/exception_display.h"

namespace hexloader {
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
  {
    std::lock_guard<std::mutex> guard(state_->Lock);
    state_->Calls.push_back(std::move(Call));
  }
  // Woken after the lock is released: woken under it, the loop would at once block on the lock again.
  state_->Wake.notify_all();
}

void TEventLoop::RunInUiThread(std::function<void()> Call) {
  if (IsUiThread()) {
    Call();
    return;
  }
  TBlockingCall call(std::move(Call));
  {
    std::lock_guard<std::mutex> guard(state_->Lock);
    state_->Calls.push_back(call.TakeQueuedPart());
    state_->Wake.notify_all();
  }
  call.Wait();
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
