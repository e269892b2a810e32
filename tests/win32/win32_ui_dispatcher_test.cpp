// The dispatcher on the Win32 message loop. Its window is message-only, so these run without a display.
#include "ui/win32/win32_ui_dispatcher.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/exception.h"
#include "core/exception_display.h"
#include "tests/win32/message_pump.h"

namespace hexloader {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;
using test::PumpFor;
using test::PumpUntil;
constexpr auto kPatience = 30s;  // generous: the machine may be loaded

// Records what reaches the central exception display while it lives.
struct TShownExceptions {
  std::vector<std::string> Messages;
  TShownExceptions() {
    SetExceptionDisplay([this](const std::string& M) { Messages.push_back(M); });
  }
  ~TShownExceptions() { SetExceptionDisplay({}); }
};

class EStubFailure : public Exception {
 public:
  using Exception::Exception;
};

TEST(Win32UiDispatcher, RunInUiThreadRunsInsideANestedLoopOfAnEarlierCall) {
  auto owned = std::make_unique<TWin32UiDispatcher>();
  TWin32UiDispatcher& dispatcher = *owned;
  EXPECT_TRUE(dispatcher.IsUiThread());
  int nesting = 0;
  std::optional<int> nestingSeen;
  bool uiThreadSeen = false;
  std::atomic<bool> workerReturned{false};
  bool workerSawUiThread = true;
  std::thread worker;
  bool nestedLoopEnded = false;
  std::optional<int> laterPostNesting;

  dispatcher.Post([&] {
    ++nesting;
    worker = std::thread([&] {
      workerSawUiThread = dispatcher.IsUiThread();
      try {
        dispatcher.RunInUiThread([&] {
          nestingSeen = nesting;
          uiThreadSeen = dispatcher.IsUiThread();
        });
      } catch (const EAbort&) {
        // released unrun by the dispatcher's end: the checks below say so
      }
      workerReturned = true;
    });
    // A modal loop opened by a call (a message box from a handler) keeps serving queued calls: the
    // one queued behind this call and the one from the other thread.
    PumpUntil([&] { return workerReturned.load() && laterPostNesting.has_value(); }, kPatience);
    --nesting;
    nestedLoopEnded = true;
  });
  dispatcher.Post([&] { laterPostNesting = nesting; });
  EXPECT_TRUE(PumpUntil([&] { return nestedLoopEnded; }, kPatience));
  owned.reset();  // releases the worker, should its call never have run
  if (worker.joinable()) worker.join();
  EXPECT_FALSE(workerSawUiThread);
  ASSERT_TRUE(nestingSeen.has_value()) << "the call never ran";
  EXPECT_EQ(*nestingSeen, 1) << "the call waited for the earlier call's loop to end";
  EXPECT_TRUE(uiThreadSeen);
  EXPECT_EQ(laterPostNesting, 1) << "the call queued behind waited for the earlier call's loop to end";
}

TEST(Win32UiDispatcher, ExceptionEscapingTheCallIsRaisedInTheCallerNotShown) {
  TShownExceptions shown;
  TWin32UiDispatcher dispatcher;
  std::optional<std::string> caught;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    try {
      dispatcher.RunInUiThread([] { throw EStubFailure("from the handler"); });
    } catch (const EStubFailure& e) {
      caught = e.what();
    } catch (...) {
      caught = "another type";
    }
    finished = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return finished.load(); }, kPatience));
  worker.join();
  EXPECT_EQ(caught, "from the handler");
  EXPECT_TRUE(shown.Messages.empty()) << "a carried exception must not also reach the display";

  // On the user-interface thread the call runs at once, and so does its exception.
  bool ran = false;
  dispatcher.RunInUiThread([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_THROW(dispatcher.RunInUiThread([] { throw EStubFailure("here"); }), EStubFailure);
}

TEST(Win32UiDispatcher, PostedCallsRunInOrderAndTheirExceptionsReachTheDisplay) {
  TShownExceptions shown;
  TWin32UiDispatcher dispatcher;
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 1; i <= 100; ++i) dispatcher.Post([&order, i] { order.push_back(i); });
    dispatcher.Post([] { throw EStubFailure("posted failure"); });
    dispatcher.Post([] { throw EAbort("silent"); });
  });
  worker.join();
  EXPECT_TRUE(order.empty()) << "posted calls wait for the loop";
  EXPECT_TRUE(PumpUntil([&] { return order.size() == 100 && !shown.Messages.empty(); }, kPatience));
  PumpFor(50ms);
  std::vector<int> expected;
  for (int i = 1; i <= 100; ++i) expected.push_back(i);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(shown.Messages, std::vector<std::string>{"posted failure"});
}

TEST(Win32UiDispatcher, TimerFiresOnceAndStopDisarms) {
  TShownExceptions shown;
  TWin32UiDispatcher dispatcher;
  auto timer = dispatcher.CreateTimer();
  EXPECT_FALSE(timer->Active());

  int fired = 0;
  const auto armed = TClock::now();
  TClock::time_point firedAt{};
  timer->Start(60ms, [&] {
    ++fired;
    firedAt = TClock::now();
  });
  EXPECT_TRUE(timer->Active());
  EXPECT_TRUE(PumpUntil([&] { return fired > 0; }, kPatience));
  EXPECT_GE(firedAt - armed, 50ms) << "fired before its delay";  // the system timer's granularity aside
  EXPECT_FALSE(timer->Active());
  PumpFor(250ms);
  EXPECT_EQ(fired, 1) << "a window timer repeats unless it is killed";

  // Stopped before it is due: never runs.
  bool stoppedRan = false;
  timer->Start(30ms, [&] { stoppedRan = true; });
  timer->Stop();
  EXPECT_FALSE(timer->Active());
  PumpFor(200ms);
  EXPECT_FALSE(stoppedRan);

  // Due while the thread did not pump, then restarted: only the new call runs, after the new delay.
  bool oldRan = false;
  bool newRan = false;
  timer->Start(10ms, [&] { oldRan = true; });
  std::this_thread::sleep_for(100ms);
  MSG due;
  ::PeekMessageW(&due, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE);  // its WM_TIMER is now in the queue
  timer->Start(400ms, [&] { newRan = true; });
  PumpFor(150ms);
  EXPECT_FALSE(oldRan);
  EXPECT_FALSE(newRan) << "the old arming's WM_TIMER ran the new call early";
  EXPECT_TRUE(PumpUntil([&] { return newRan; }, kPatience));

  // A call may start its own timer again; an exception escaping it reaches the display.
  int rounds = 0;
  std::function<void()> again = [&] {
    if (++rounds < 3) timer->Start(10ms, again);
    else throw EStubFailure("timer failure");
  };
  timer->Start(10ms, again);
  EXPECT_TRUE(PumpUntil([&] { return rounds == 3; }, kPatience));
  EXPECT_FALSE(timer->Active());
  EXPECT_EQ(shown.Messages, std::vector<std::string>{"timer failure"});

  // Destroying an armed timer disarms it.
  bool destroyedRan = false;
  auto other = dispatcher.CreateTimer();
  other->Start(20ms, [&] { destroyedRan = true; });
  other.reset();
  PumpFor(150ms);
  EXPECT_FALSE(destroyedRan);
}

TEST(Win32UiDispatcher, DestructionReleasesAWaitingCallerWithEAbort) {
  auto dispatcher = std::make_unique<TWin32UiDispatcher>();
  bool ran = false;
  std::atomic<bool> aborted{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    try {
      dispatcher->RunInUiThread([&] { ran = true; });
    } catch (const EAbort&) {
      aborted = true;
    }
    returned = true;
  });
  // Destroyed once the call's wake-up message is in this thread's queue, unread.
  const auto deadline = TClock::now() + kPatience;
  while (!(HIWORD(::GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) && TClock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  dispatcher.reset();
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_TRUE(aborted);
  EXPECT_FALSE(ran);
  PumpFor(50ms);  // the stale wake-up finds no window
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace hexloader
