#include "core/event_loop.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/blocking_call.h"
#include "core/exception_display.h"

namespace hexloader {
namespace {
using TClock = std::chrono::steady_clock;
}

struct TTimerSlot {
  TClock::time_point Due{};
  std::function<void()> Call;
};

struct TEventLoop::State {
  std::mutex Lock;
  std::condition_variable Wake;
  std::deque<std::function<void()>> Calls;
  std::vector<TTimerSlot*> Armed;  // the armed timers, in no order
  std::thread::id UiThread = std::this_thread::get_id();
  int QuitRequests = 0;
  bool WakeRequested = false;

  // Under Lock: when the earliest armed timer is due, if any.
  std::optional<TClock::time_point> NextDue() const {
    if (Armed.empty()) return std::nullopt;
    return (*std::min_element(Armed.begin(), Armed.end(),
                              [](const TTimerSlot* A, const TTimerSlot* B) { return A->Due < B->Due; }))
        ->Due;
  }
  void Disarm(TTimerSlot* Slot) { Armed.erase(std::remove(Armed.begin(), Armed.end(), Slot), Armed.end()); }
};

// Used on the user-interface thread only; the slot is read by the loop under its lock.
class TEventLoop::TLoopTimer : public TUiTimer {
 public:
  explicit TLoopTimer(std::shared_ptr<State> S) : S_(std::move(S)) {}
  ~TLoopTimer() override { Stop(); }

  void Start(std::chrono::milliseconds Delay, std::function<void()> Call) override {
    std::lock_guard<std::mutex> guard(S_->Lock);
    S_->Disarm(&Slot_);
    Slot_.Due = TClock::now() + Delay;
    Slot_.Call = std::move(Call);
    S_->Armed.push_back(&Slot_);
    S_->Wake.notify_all();
  }
  void Stop() override {
    std::function<void()> dropped;
    {
      std::lock_guard<std::mutex> guard(S_->Lock);
      S_->Disarm(&Slot_);
      dropped.swap(Slot_.Call);
    }
  }
  bool Active() const override {
    std::lock_guard<std::mutex> guard(S_->Lock);
    return std::find(S_->Armed.begin(), S_->Armed.end(), &Slot_) != S_->Armed.end();
  }

 private:
  std::shared_ptr<State> S_;
  TTimerSlot Slot_;
};

TEventLoop::TEventLoop() : state_(std::make_shared<State>()) {}

std::unique_ptr<TUiTimer> TEventLoop::CreateTimer() { return std::make_unique<TLoopTimer>(state_); }

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
  std::function<void()> call;
  const std::optional<TClock::time_point> due = state_->NextDue();
  if (due && *due <= TClock::now()) {
    const auto slot =
        std::find_if(state_->Armed.begin(), state_->Armed.end(), [&](const TTimerSlot* S) { return S->Due == *due; });
    call.swap((*slot)->Call);
    state_->Armed.erase(slot);
  } else if (!state_->Calls.empty()) {
    call = std::move(state_->Calls.front());
    state_->Calls.pop_front();
  } else {
    return false;
  }
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
    if (RunOne(lock)) continue;
    if (const auto due = state_->NextDue()) state_->Wake.wait_until(lock, *due);
    else state_->Wake.wait(lock);
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
    // Cleared before Done() is asked, so a Wake() that comes while it runs is not lost.
    state_->WakeRequested = false;
    lock.unlock();
    done = Done();
    lock.lock();
    if (done) break;
    if (RunOne(lock)) continue;
    if (TClock::now() >= deadline) break;  // Done() was asked after the last call
    auto until = deadline;
    if (const auto due = state_->NextDue()) until = std::min(until, *due);
    state_->Wake.wait_until(lock, until, [&] { return !state_->Calls.empty() || state_->WakeRequested; });
  }
  state_->UiThread = previous;
  return done;
}

}  // namespace hexloader
