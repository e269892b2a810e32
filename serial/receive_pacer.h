#pragma once
// Gathering received bytes before the user-interface thread hears of them. The component's user says
// how many bytes it waits for (the receive threshold); the event thread, woken by the first of them,
// then looks at the input queue at the moments the rest should have come at the line's bit rate,
// instead of being woken for every byte. It reports once the threshold is reached, or once the line
// has been quiet for QuietMs with fewer bytes waiting (a short or wrong reply, an echo without reply).
// Platform-neutral: the platform watches do the waiting and the queue counting.
#include <atomic>
#include <chrono>
#include <cstdint>

#include "serial/line_settings.h"

namespace hexloader {

// Shared by the port (written on the user-interface thread) and its watch (read on the event thread).
struct TReceiveGathering {
  std::atomic<int> Threshold{1};                // bytes to gather; 1: report every arrival at once
  std::atomic<std::int64_t> ByteNs{520'834};    // one character on the line (19200 bit/s, 8N1)
};

// Nanoseconds one character takes on the line with Settings (start bit, data, parity, stop bits).
std::int64_t CharacterTimeNs(const TSerialLineSettings& Settings);

// The look-ahead of one gathering: fed the bytes waiting at each look, it says when to look next.
class TReceivePacer {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr int QuietMs = 20;  // above a USB adapter's default latency timer (16 ms)

  explicit TReceivePacer(std::int64_t ByteNs) : ByteNs_(ByteNs > 1000 ? ByteNs : 1000) {}
  // 0: report now. Otherwise the nanoseconds to wait before the next look.
  std::int64_t Next(int Waiting, int Threshold, TClock::time_point Now);

 private:
  std::int64_t ByteNs_;
  int LastWaiting_ = -1;
  TClock::time_point LastChange_{};
  std::int64_t Step_ = 0;
};

}  // namespace hexloader
