#pragma once
// Gathering received bytes before the user-interface thread hears of them. The component's user says
// how many bytes it waits for (the receive threshold); the event thread, woken by the first of them,
// then looks at the input queue at the moments the rest should have come, instead of being woken for
// every byte; when a look finds nothing new, or only the last few bytes missing, it waits for the next
// arrival instead. The moments follow the line's bit rate, unless more bytes have come since the last
// write than the line could carry at that rate (a USB device whose bit rate is only nominal, a device
// whose echo comes faster than the line): then they follow the device's own pace, as measured from the
// bytes' arrivals. It reports once the threshold is reached, or once the line has been quiet for
// QuietMs with fewer bytes waiting (a short or wrong reply, an echo without reply). Platform-neutral:
// the platform watches do the waiting and the queue counting.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "serial/line_settings.h"

namespace hexloader {

// Shared by the port (written on the user-interface and write threads) and its watch (read on the
// event thread).
struct TReceiveGathering {
  std::atomic<int> Threshold{1};              // bytes to gather; 1: report every arrival at once
  std::atomic<std::int64_t> ByteNs{520'834};  // one character on the line (19200 bit/s, 8N1)
  std::atomic<bool> Active{false};            // the watch is gathering: a lowered threshold wakes it
  // When the last write to the line began, in nanoseconds of TReceivePacer::TClock; 0: nothing
  // written yet. Stamped by a port whose watch paces its looks (Linux).
  std::atomic<std::int64_t> SentNs{0};
};

// Nanoseconds one character takes on the line with Settings (start bit, data, parity, stop bits).
std::int64_t CharacterTimeNs(const TSerialLineSettings& Settings);

// The look-ahead of one gathering: fed the bytes waiting at each look, it says what to do next.
class TReceivePacer {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr int QuietMs = 20;      // above a USB adapter's default latency timer (16 ms)
  static constexpr int AwaitedBytes = 2;  // so few still to come are awaited as they arrive
  // While a device's own pace is still being learnt, a look comes at most this many times as far
  // ahead as the stretch of its bytes measured so far, so that a rough first measure is not trusted
  // for the whole reply.
  static constexpr int PaceLookAhead = 8;
  // An answer whose first bytes came more than LateStartMs later than the line explains is looked at
  // again after ProbeBytes characters at the line's rate, to see whether it comes faster.
  static constexpr int LateStartMs = 1;
  static constexpr int ProbeBytes = 4;

  struct TStep {
    enum TWhat {
      Report,        // hand the bytes over now
      Sleep,         // bytes are coming at a known pace: look again after Ns, whatever arrives
      AwaitArrival,  // nothing came since the last look (a slow device, a burst still held by an
                     // adapter): look again at the next arrival, or after Ns when the line counts as quiet
    } What;
    std::int64_t Ns;
  };

  // ByteNs: one character at the line's bit rate. SentAt: when the last write to the line began, if
  // known; without it the looks follow the line's bit rate only.
  explicit TReceivePacer(std::int64_t ByteNs, std::optional<TClock::time_point> SentAt = std::nullopt)
      : ByteNs_(ByteNs > 1000 ? ByteNs : 1000), SentAt_(SentAt) {}
  TStep Next(int Waiting, int Threshold, TClock::time_point Now);

 private:
  // How far ahead the next look comes for Remaining bytes, Waiting being there at Now.
  std::int64_t LookAheadNs(int Waiting, int Remaining, TClock::time_point Now, bool First);

  std::int64_t ByteNs_;
  std::optional<TClock::time_point> SentAt_;
  int FirstWaiting_ = -1;  // at the first look
  TClock::time_point FirstLook_{};
  bool Faster_ = false;      // the bytes have come faster than the line carries them
  std::int64_t PaceNs_ = 0;  // the fastest pace the device has shown; 0: none yet
  int LastWaiting_ = -1;
  TClock::time_point LastChange_{};
};

}  // namespace hexloader
