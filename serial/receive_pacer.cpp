#include "serial/receive_pacer.h"

#include <algorithm>

namespace hexloader {

std::int64_t CharacterTimeNs(const TSerialLineSettings& Settings) {
  if (Settings.BaudRate <= 0) return 0;
  // In half bits, so that one and a half stop bits count exactly.
  const std::int64_t stopHalves = Settings.StopBits == 1 ? 3 : Settings.StopBits == 2 ? 4 : 2;
  const std::int64_t halves = 2 * (1 + Settings.ByteSize + (Settings.Parity != 0 ? 1 : 0)) + stopHalves;
  return halves * 1'000'000'000LL / (2LL * Settings.BaudRate);
}

TReceivePacer::TStep TReceivePacer::Next(int Waiting, int Threshold, TClock::time_point Now) {
  if (Waiting >= Threshold) return {TStep::Report, 0};
  if (Waiting != LastWaiting_) {
    // Bytes are coming: look again when the rest should be there. The wake-up that brought the first
    // of them came a little after it, so that look is rarely early; when it is, the last few bytes
    // are awaited as they arrive (a wake-up each at most), so that the reply is not seen late.
    const bool first = LastWaiting_ < 0;
    LastWaiting_ = Waiting;
    LastChange_ = Now;
    const int remaining = Threshold - Waiting;
    if (first || remaining > AwaitedBytes) return {TStep::Sleep, static_cast<std::int64_t>(remaining) * ByteNs_};
    return {TStep::AwaitArrival, std::int64_t{QuietMs} * 1'000'000};
  }
  const std::int64_t quietFor = std::chrono::duration_cast<std::chrono::nanoseconds>(Now - LastChange_).count();
  const std::int64_t quietLeft = std::int64_t{QuietMs} * 1'000'000 - quietFor;
  if (quietLeft <= 0 && Waiting > 0) return {TStep::Report, 0};
  return {TStep::AwaitArrival, std::max<std::int64_t>(quietLeft, 1'000'000)};
}

}  // namespace hexloader
