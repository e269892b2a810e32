#pragma once
// Wait objects of the serial code: a platform handle that can be waited for with a time-out, and the
// manual-reset event built on it (Linux: an eventfd whose counter stays non-zero until Reset).
#include <cstdint>
#include <initializer_list>

namespace hexloader {

class TSerialHandleObject {
 public:
  enum TWaitResult { wrSignaled = 0, wrTimeout = 1, wrAbandoned = 2, wrError = 3 };
  static constexpr std::uint32_t Infinite = 0xFFFFFFFF;

  virtual ~TSerialHandleObject();  // closes Handle
  TSerialHandleObject(const TSerialHandleObject&) = delete;
  TSerialHandleObject& operator=(const TSerialHandleObject&) = delete;

  // Waits until signaled or TimeoutMs passed (Infinite: no time-out). On wrError LastError holds errno.
  TWaitResult WaitFor(std::uint32_t TimeoutMs);
  std::intptr_t Handle() const { return Handle_; }
  int LastError() const { return LastError_; }

 protected:
  explicit TSerialHandleObject(std::intptr_t Handle) : Handle_(Handle) {}

 private:
  std::intptr_t Handle_;
  int LastError_ = 0;
};

// Manual-reset event, created non-signaled.
class TSerialEvent : public TSerialHandleObject {
 public:
  TSerialEvent();  // raises ESerialCommError when the platform has no event left
  void Signal();
  void Reset();
  bool IsSignaled() const;
};

class TSerialWaitEvent : public TSerialEvent {};

// Waits for the first of Objects to become signaled; when several are, the earliest in the list wins.
// Returns its index, -1 after TimeoutMs, -2 on failure (errno in Error).
int WaitForAny(std::initializer_list<const TSerialHandleObject*> Objects, std::uint32_t TimeoutMs,
               int* Error = nullptr);

}  // namespace hexloader
