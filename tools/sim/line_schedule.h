#pragma once
// The serial line's timing: each byte takes 10 bit times, in each direction, one byte after another.
// A byte from the loader counts as received when its last bit has arrived; a byte to the loader is
// handed over when its last bit has gone out. With no bit rate every byte passes at once.
#include <chrono>
#include <cstdint>
#include <deque>

namespace hexloader::sim {

class TLineSchedule {
 public:
  using TClock = std::chrono::steady_clock;

  explicit TLineSchedule(long BitRate)
      : ByteTime_(BitRate > 0 ? std::chrono::nanoseconds(10'000'000'000LL / BitRate) : std::chrono::nanoseconds(0)) {}

  // A byte from the loader, read from the line at Now: when its last bit arrives.
  TClock::time_point Received(TClock::time_point Now) {
    RxFree_ = std::max(RxFree_, Now) + ByteTime_;
    return RxFree_;
  }

  // Queues a byte to the loader that starts going out no earlier than Earliest.
  void Send(std::uint8_t B, TClock::time_point Earliest) {
    TxFree_ = std::max(TxFree_, Earliest) + ByteTime_;
    Out_.push_back({TxFree_, B});
  }

  bool Pending() const { return !Out_.empty(); }
  TClock::time_point NextDue() const { return Out_.front().Due; }
  std::uint8_t NextByte() const { return Out_.front().Byte; }
  void PopNext() { Out_.pop_front(); }
  void Clear() { Out_.clear(); }

 private:
  struct TOut {
    TClock::time_point Due;
    std::uint8_t Byte;
  };
  std::chrono::nanoseconds ByteTime_;
  TClock::time_point RxFree_{};
  TClock::time_point TxFree_{};
  std::deque<TOut> Out_;
};

}  // namespace hexloader::sim
