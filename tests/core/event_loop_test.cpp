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

}  // namespace
}  // namespace hexloader
