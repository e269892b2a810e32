#pragma once
// Gathering received bytes before the user-interface thread hears of them. The component's user says
// how many bytes it waits for (the receive threshold); the event thread, woken by the first of them,
// then looks at the input queue at the moments the rest should have come at the line's bit rate,
// instead of being woken for every byte; when a look finds nothing new, or only the last few bytes
// missing, it waits for the next arrival instead. It reports once the threshold is reached, or once the line has been
// quiet for QuietMs with fewer bytes waiting (a short or wrong reply, an echo without reply). Platform-neutral: the
// platform watches do the waiting and the queue counting.
#include <atomic>
#include <chrono>
#include <cstdint>

#include "serial/line_settings.h"

namespace hexloader {

// Shared by the port (written on the user-interface thread) and its watch (read on the event thread).
struct TReceiveGathering {
  std::atomic<int> Threshold{1};              // bytes to gather; 1: report every arrival at once
  std::atomic<std::int64_t> ByteNs{520'834};  // one character on the line (19200 bit/s, 8N1)
  std::atomic<bool> Active{false};            // the watch is gathering: a lowered threshold wakes it
};

// Nanoseconds one character takes on the line with Settings (start bit, data, parity, stop bits).
std::int64_t CharacterTimeNs(const TSerialLineSettings& Settings);

// The look-ahead of one gathering: fed the bytes waiting at each look, it says what to do next.
class TReceivePacer {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr int QuietMs = 20;      // above a USB adapter's default latency timer (16 ms)
  static constexpr int AwaitedBytes = 2;  // so few still to come are awaited as they arrive

  struct TStep {
    enum TWhat {
      Report,        // hand the bytes over now
      Sleep,         // bytes are coming at the line's pace: look again after Ns, whatever arrives
      AwaitArrival,  // nothing came since the last look (a slow device, a burst still held by an
                     // adapter): look again at the next arrival, or after Ns when the line counts as quiet
    } What;
    std::int64_t Ns;
  };

  explicit TReceivePacer(std::int64_t ByteNs) : ByteNs_(ByteNs > 1000 ? ByteNs : 1000) {}
  TStep Next(int Waiting, int Threshold, TClock::time_point Now);

 private:
  std::int64_t ByteNs_;
  int LastWaiting_ = -1;
  TClock::time_point LastChange_{};
};

}  // namespace hexloader
