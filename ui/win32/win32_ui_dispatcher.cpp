#include "ui/win32/win32_ui_dispatcher.h"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <exception>
#include <mutex>
#include <unordered_map>

#include "core/blocking_call.h"
#include "core/exception_display.h"
#include "ui/win32/win32_ui_errors.h"

namespace hexloader {
namespace {

const wchar_t* const DispatcherClassName = L"HexloaderUiDispatcher";
// "Run the next queued call": private to our own window class.
constexpr UINT WM_RUN_QUEUED_CALL = WM_APP + 1;

class TWin32UiTimer;

LRESULT CALLBACK DispatcherWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

void RegisterDispatcherClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DispatcherWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = DispatcherClassName;
  if (!::RegisterClassExW(&wc)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_CLASS_ALREADY_EXISTS) RaiseWin32UiError(win32_ui_msg::DispatcherWindow, error);
  }
}

}  // namespace

struct TWin32UiDispatcher::TState {
  const DWORD UiThreadId = ::GetCurrentThreadId();

  std::mutex Lock;
  HWND Window = nullptr;                    // under Lock; null once the dispatcher has gone
  std::deque<std::function<void()>> Calls;  // under Lock
  bool WakePosted = false;                  // under Lock: a WM_RUN_QUEUED_CALL is on its way

  // User-interface thread only: the armed timers by their window-timer id. Every Start takes a new id,
  // so a WM_TIMER already queued for a stopped or restarted timer finds nothing.
  std::unordered_map<UINT_PTR, TWin32UiTimer*> Timers;
  UINT_PTR LastTimerId = 0;

  // Under Lock: makes sure one wake-up message is queued. False, with the error, when the thread's
  // queue refuses it (it is full).
  bool PostWakeLocked(DWORD& Error) {
    if (WakePosted) return true;
    if (!::PostMessageW(Window, WM_RUN_QUEUED_CALL, 0, 0)) {
      Error = ::GetLastError();
      return false;
    }
    WakePosted = true;
    return true;
  }

  void Enqueue(std::function<void()> Call);
  void OnRunQueuedCall();
  void OnTimer(UINT_PTR Id);
};

namespace {

// Used on the user-interface thread only.
class TWin32UiTimer final : public TUiTimer {
 public:
  explicit TWin32UiTimer(std::shared_ptr<TWin32UiDispatcher::TState> State) : S_(std::move(State)) {}
  ~TWin32UiTimer() override { Stop(); }

  void Start(std::chrono::milliseconds Delay, std::function<void()> Call) override {
    Stop();
    HWND window = CurrentWindow();
    if (!window) RaiseWin32UiError(win32_ui_msg::DispatcherGone, 0);
    const UINT_PTR id = ++S_->LastTimerId;
    // SetTimer raises anything below its minimum to that minimum itself.
    const auto ms = static_cast<UINT>(std::clamp<std::chrono::milliseconds::rep>(Delay.count(), 0, USER_TIMER_MAXIMUM));
    if (!::SetTimer(window, id, ms, nullptr)) RaiseWin32UiError(win32_ui_msg::TimerStart, ::GetLastError());
    S_->Timers[id] = this;
    Id_ = id;
    Call_ = std::move(Call);
  }

  void Stop() override {
    Disarm();
    Call_ = nullptr;
  }

  bool Active() const override { return Id_ != 0; }

  // From the window's WM_TIMER: a window timer repeats, so it is killed before the call runs.
  void Fire() {
    Disarm();
    // Taken out first: the call may start the timer again, or destroy it.
    std::function<void()> call;
    call.swap(Call_);
    try {
      if (call) call();
    } catch (...) {
      ShowException(std::current_exception());
    }
  }

 private:
  HWND CurrentWindow() const {
    std::lock_guard<std::mutex> guard(S_->Lock);
    return S_->Window;
  }
  void Disarm() {
    if (Id_ == 0) return;
    if (HWND window = CurrentWindow()) ::KillTimer(window, Id_);
    S_->Timers.erase(Id_);
    Id_ = 0;
  }

  std::shared_ptr<TWin32UiDispatcher::TState> S_;
  UINT_PTR Id_ = 0;  // the armed window timer's id; 0 when disarmed
  std::function<void()> Call_;
};

// Dispatches only; the state is the creation parameter, kept in the window's user data.
LRESULT CALLBACK DispatcherWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<TWin32UiDispatcher::TState*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (state) {
    switch (Message) {
      case WM_RUN_QUEUED_CALL: state->OnRunQueuedCall(); return 0;
      case WM_TIMER: state->OnTimer(WParam); return 0;
      default: break;
    }
  }
  return ::DefWindowProcW(Window, Message, WParam, LParam);
}

}  // namespace

void TWin32UiDispatcher::TState::Enqueue(std::function<void()> Call) {
  DWORD error = 0;
  {
    std::lock_guard<std::mutex> guard(Lock);
    if (Window) {
      Calls.push_back(std::move(Call));
      if (PostWakeLocked(error)) return;
      Call = std::move(Calls.back());
      Calls.pop_back();
    }
  }
  // Dropped outside the lock: dropping a blocking call's part releases its waiter with EAbort. A call
  // that comes after the dispatcher has gone is dropped the same way; a refused wake-up is a failure.
  Call = nullptr;
  if (error) RaiseWin32UiError(win32_ui_msg::DispatcherPost, error);
}

void TWin32UiDispatcher::TState::OnRunQueuedCall() {
  std::function<void()> call;
  {
    std::lock_guard<std::mutex> guard(Lock);
    WakePosted = false;
    if (Calls.empty()) return;
    call = std::move(Calls.front());
    Calls.pop_front();
    // The next one is announced before this one runs, so it also runs inside a modal loop this call
    // opens. Should the queue refuse, the next Enqueue announces it again.
    if (!Calls.empty()) {
      DWORD error = 0;
      PostWakeLocked(error);
    }
  }
  try {
    call();
  } catch (...) {
    ShowException(std::current_exception());
  }
}

void TWin32UiDispatcher::TState::OnTimer(UINT_PTR Id) {
  const auto found = Timers.find(Id);
  if (found == Timers.end()) {
    // A timer stopped after its WM_TIMER was already queued.
    std::lock_guard<std::mutex> guard(Lock);
    if (Window) ::KillTimer(Window, Id);
    return;
  }
  found->second->Fire();
}

TWin32UiDispatcher::TWin32UiDispatcher() : State_(std::make_shared<TState>()) {
  static const bool registered = (RegisterDispatcherClass(), true);
  (void)registered;
  // A message-only window: never shown, needs no display, gets only what is posted or sent to it.
  HWND window = ::CreateWindowExW(0, DispatcherClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), State_.get());
  if (!window) RaiseWin32UiError(win32_ui_msg::DispatcherWindow, ::GetLastError());
  std::lock_guard<std::mutex> guard(State_->Lock);
  State_->Window = window;
}

TWin32UiDispatcher::~TWin32UiDispatcher() {
  std::deque<std::function<void()>> dropped;
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> guard(State_->Lock);
    window = State_->Window;
    State_->Window = nullptr;
    dropped.swap(State_->Calls);
  }
  // Releases the callers still waiting (with EAbort), outside the lock.
  dropped.clear();
  // Also ends the window timers of timers left armed; their objects only forget them.
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  ::DestroyWindow(window);
}

bool TWin32UiDispatcher::IsUiThread() const { return ::GetCurrentThreadId() == State_->UiThreadId; }

void TWin32UiDispatcher::Post(std::function<void()> Call) { State_->Enqueue(std::move(Call)); }

void TWin32UiDispatcher::RunInUiThread(std::function<void()> Call) {
  if (IsUiThread()) {
    Call();
    return;
  }
  TBlockingCall call(std::move(Call));
  State_->Enqueue(call.TakeQueuedPart());
  call.Wait();
}

std::unique_ptr<TUiTimer> TWin32UiDispatcher::CreateTimer() { return std::make_unique<TWin32UiTimer>(State_); }

}  // namespace hexloader
