#include "serial/receive_pacer.h"

#include <algorithm>

namespace hexloader {

namespace {

std::int64_t NsBetween(TReceivePacer::TClock::time_point From, TReceivePacer::TClock::time_point To) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(To - From).count();
}

}  // namespace

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
    if (first) {
      FirstWaiting_ = Waiting;
      FirstLook_ = Now;
    }
    LastWaiting_ = Waiting;
    LastChange_ = Now;
    const int remaining = Threshold - Waiting;
    if (first || remaining > AwaitedBytes) return {TStep::Sleep, LookAheadNs(Waiting, remaining, Now, first)};
    return {TStep::AwaitArrival, std::int64_t{QuietMs} * 1'000'000};
  }
  const std::int64_t quietFor = NsBetween(LastChange_, Now);
  const std::int64_t quietLeft = std::int64_t{QuietMs} * 1'000'000 - quietFor;
  if (quietLeft <= 0 && Waiting > 0) return {TStep::Report, 0};
  return {TStep::AwaitArrival, std::max<std::int64_t>(quietLeft, 1'000'000)};
}

std::int64_t TReceivePacer::LookAheadNs(int Waiting, int Remaining, TClock::time_point Now, bool First) {
  const std::int64_t atLineRate = Remaining * ByteNs_;
  if (!SentAt_) return atLineRate;
  const std::int64_t sinceSent = NsBetween(*SentAt_, Now);
  if (sinceSent <= 0) return atLineRate;
  const std::int64_t sinceFirst = NsBetween(FirstLook_, Now);
  const std::int64_t waiting = Waiting;
  const std::int64_t measured = waiting - FirstWaiting_;
  // At the line's rate the first byte of an answer is there two characters after the write began (one
  // on its way out, its echo on the way back), each further byte a character later. More than that,
  // with a quarter of a character and 3 % to spare (a receiver takes a byte at its stop bit's middle,
  // clocks differ), can only come from a device faster than the line; so can more than a character's
  // worth since the first look, with two bytes to spare (a burst held by an adapter may bring one
  // from before that look). Once seen, it holds for the exchange: a device held up for a while (a busy
  // machine) goes on at its own pace afterwards.
  if (((waiting + 1) * 97 - 25) * ByteNs_ > 100 * sinceSent || (measured - 2) * ByteNs_ > sinceFirst) Faster_ = true;
  // The device's own pace: the fastest it has shown, over its bytes since the write (which counts the
  // time it and this thread took to react) or since the first look (which does not; a single byte
  // tells too little).
  const auto keep = [this](std::int64_t Pace) {
    if (PaceNs_ == 0 || Pace < PaceNs_) PaceNs_ = Pace;
  };
  keep(sinceSent / (waiting + 1));
  if (measured >= 2 && sinceFirst > 0) keep(sinceFirst / measured);
  if (First && !Faster_ && sinceSent > (waiting + 1) * ByteNs_ + std::int64_t{LateStartMs} * 1'000'000) {
    // An answer that began well after the line explains may come from a fast device that was held up
    // (a busy machine) as well as from a slow one: a look a few characters on tells them apart. A
    // device at the line's rate seldom starts so late, and an adapter's burst brings every byte that
    // has come off the line by then, so it looks no later: that look seldom costs them a wake-up.
    return std::min(ProbeBytes * ByteNs_, atLineRate);
  }
  if (!Faster_) return atLineRate;
  // A pace measured over a short stretch is rough, so the look comes at most a few times that stretch
  // ahead (at the first look: as far ahead as the write lies behind) and measures again over a longer one.
  const std::int64_t stretch = First ? sinceSent : PaceLookAhead * std::max<std::int64_t>(sinceFirst, 1);
  return std::min({Remaining * PaceNs_, stretch, atLineRate});
}

}  // namespace hexloader
