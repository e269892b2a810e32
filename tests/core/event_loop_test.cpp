#include "core/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/exception.h"
#include "core/exception_display.h"

namespace hexloader {
namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = 30s;  // generous: the machine may be loaded

TEST(EventLoop, RunInUiThreadRunsOnLoopThreadAndBlocksUntilDone) {
  TEventLoop loop;
  const auto ui = std::this_thread::get_id();
  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  bool sawReturnedInsideCall = true;
  std::thread worker([&] {
    loop.RunInUiThread([&] {
      ranOn = std::this_thread::get_id();
      sawReturnedInsideCall = returned.load();
    });
    returned = true;
    loop.Wake();
  });
  EXPECT_TRUE(loop.RunUntil([&] { return returned.load(); }, kPatience));
  worker.join();
  EXPECT_EQ(ranOn, ui);
  EXPECT_FALSE(sawReturnedInsideCall);
}

TEST(EventLoop, ExceptionEscapingCallIsRaisedInWaitingThread) {
  TEventLoop loop;
  std::optional<std::string> caught;
  std::atomic<bool> finished{false};
  std::vector<std::string> shown;
  SetExceptionDisplay([&](const std::string& m) { shown.push_back(m); });
  std::thread worker([&] {
    try {
      loop.RunInUiThread([] { throw std::runtime_error("from the handler"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    finished = true;
    loop.Wake();
  });
  loop.RunUntil([&] { return finished.load(); }, kPatience);
  worker.join();
  SetExceptionDisplay(nullptr);
  ASSERT_TRUE(caught.has_value());
  EXPECT_EQ(*caught, "from the handler");
  EXPECT_TRUE(shown.empty()) << "a carried exception must not also reach the display";
}

TEST(EventLoop, OnUiThreadRunsAtOnceAndPropagates) {
  TEventLoop loop;
  bool ran = false;
  loop.RunInUiThread([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_THROW(loop.RunInUiThread([] { throw Exception("x"); }), Exception);
}

TEST(EventLoop, NestedLoopInsideCallRunsLaterCallsInOrder) {
  TEventLoop loop;
  std::vector<int> order;
  loop.Post([&] {
    order.push_back(1);
    // A modal loop inside a handler keeps serving queued calls.
    loop.RunUntil([&] { return order.size() == 3; }, kPatience);
    order.push_back(4);
  });
  loop.Post([&] { order.push_back(2); });
  loop.Post([&] { order.push_back(3); });
  loop.RunUntil([&] { return order.size() == 4; }, kPatience);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(EventLoop, PostedExceptionGoesToCentralDisplay) {
  TEventLoop loop;
  std::vector<std::string> shown;
  SetExceptionDisplay([&](const std::string& m) { shown.push_back(m); });
  bool after = false;
  loop.Post([] { throw Exception("posted failure"); });
  loop.Post([&] { after = true; });
  loop.RunUntil([&] { return after; }, kPatience);
  SetExceptionDisplay(nullptr);
  EXPECT_EQ(shown, std::vector<std::string>{"posted failure"});
}

TEST(EventLoop, QuitEndsRunFromAnotherThread) {
  TEventLoop loop;
  std::thread worker([&] {
    loop.RunInUiThread([] {});
    loop.Quit();
  });
  loop.Run();
  worker.join();
  SUCCEED();
}

TEST(EventLoop, DestroyingLoopReleasesWaitingThread) {
  auto loop = std::make_unique<TEventLoop>();
  TEventLoop* raw = loop.get();
  bool aborted = false;
  bool ran = false;
  std::thread worker([&] {
    try {
      raw->RunInUiThread([&] { ran = true; });
    } catch (const EAbort&) {
      aborted = true;
    }
  });
  // Once the call is queued the waiting thread no longer touches the loop itself.
  while (loop->Pending() == 0) std::this_thread::yield();
  loop.reset();
  worker.join();
  EXPECT_TRUE(aborted);
  EXPECT_FALSE(ran);
}

TEST(EventLoop, AWakeThatComesWhileDoneIsAskedIsNotLost) {
  TEventLoop loop;
  bool ready = false;
  int asked = 0;
  const auto began = std::chrono::steady_clock::now();
  // The condition changes, and Wake is called, after Done() has looked and before the loop sleeps.
  const bool done = loop.RunUntil(
      [&] {
        if (++asked == 1) {
          ready = true;
          loop.Wake();
          return false;
        }
        return ready;
      },
      60s);
  EXPECT_TRUE(done);
  EXPECT_LT(std::chrono::steady_clock::now() - began, 30s) << "the wake was lost: the loop slept to its time-out";
}

TEST(EventLoopTimer, CallsRunOnceOnTheLoopThreadInTheOrderTheyAreDue) {
  TEventLoop loop;
  std::vector<std::string> ran;
  const auto ui = std::this_thread::get_id();
  bool offThread = false;
  auto late = loop.CreateTimer();
  auto early = loop.CreateTimer();
  late->Start(60ms, [&] {
    ran.push_back("late");
    offThread |= std::this_thread::get_id() != ui;
  });
  early->Start(10ms, [&] {
    ran.push_back("early");
    offThread |= std::this_thread::get_id() != ui;
  });
  EXPECT_TRUE(late->Active());
  EXPECT_TRUE(loop.RunUntil([&] { return ran.size() == 2; }, kPatience));
  loop.RunUntil([] { return false; }, 100ms);  // nothing runs twice
  EXPECT_EQ(ran, (std::vector<std::string>{"early", "late"}));
  EXPECT_FALSE(offThread);
  EXPECT_FALSE(late->Active());
}

TEST(EventLoopTimer, RunWakesForADueTimer) {
  TEventLoop loop;
  auto timer = loop.CreateTimer();
  timer->Start(10ms, [&] { loop.Quit(); });
  loop.Run();  // would sleep for ever if it waited only for queued calls
  SUCCEED();
}

// A timer disarmed one way or another before it is due never runs its call.
struct TDisarmCase {
  const char* Name;
  void (*Disarm)(std::unique_ptr<TUiTimer>& Timer, int& Replaced);
};

class EventLoopTimerDisarmed : public ::testing::TestWithParam<TDisarmCase> {};

TEST_P(EventLoopTimerDisarmed, NeverRunsTheFirstCall) {
  TEventLoop loop;
  int first = 0, replaced = 0;
  auto timer = loop.CreateTimer();
  timer->Start(20ms, [&] { ++first; });
  GetParam().Disarm(timer, replaced);
  // Another timer, due well after the first one would have been, ends the wait.
  auto witness = loop.CreateTimer();
  bool witnessed = false;
  witness->Start(200ms, [&] { witnessed = true; });
  EXPECT_TRUE(loop.RunUntil([&] { return witnessed; }, kPatience));
  EXPECT_EQ(first, 0);
  EXPECT_LE(replaced, 1);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Ways, EventLoopTimerDisarmed,
    ::testing::Values(TDisarmCase{"Stopped", [](std::unique_ptr<TUiTimer>& T, int&) { T->Stop(); }},
                      TDisarmCase{"Destroyed", [](std::unique_ptr<TUiTimer>& T, int&) { T.reset(); }},
                      TDisarmCase{"StartedAgain",
                                  [](std::unique_ptr<TUiTimer>& T, int& Replaced) {
                                    T->Start(50ms, [&Replaced] { ++Replaced; });
                                  }}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(EventLoopTimer, ATimerStartedAgainRunsItsNewCall) {
  TEventLoop loop;
  std::vector<int> ran;
  auto timer = loop.CreateTimer();
  timer->Start(20ms, [&] { ran.push_back(1); });
  timer->Start(40ms, [&] { ran.push_back(2); });
  EXPECT_TRUE(loop.RunUntil([&] { return !ran.empty(); }, kPatience));
  loop.RunUntil([] { return false; }, 100ms);
  EXPECT_EQ(ran, std::vector<int>{2});
}

}  // namespace
}  // namespace hexloader
