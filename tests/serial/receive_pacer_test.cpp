// The receive pacer's decisions, look by look, and a character's time on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "serial/receive_pacer.h"

namespace hexloader {
namespace {

using namespace std::chrono_literals;
using TStep = TReceivePacer::TStep;

constexpr std::int64_t kByteNs = 520'834;  // 19200 bit/s, 8N1

struct TLook {
  std::chrono::microseconds At;  // since the first look (in a whole gathering: since the write)
  int Waiting;
  TStep::TWhat What;
  std::int64_t Ns;  // checked for Sleep only
};

TEST(ReceivePacer, LooksWhenTheRestShouldHaveComeAndReportsAtTheThresholdOrOnAQuietLine) {
  struct TCase {
    const char* Name;
    int Threshold;
    std::vector<TLook> Looks;
  };
  const TCase cases[] = {
      {"whole exchange at the expected look",
       132,
       {{0us, 1, TStep::Sleep, 131 * kByteNs}, {69ms, 132, TStep::Report, 0}}},
      {"a look just early: the last bytes awaited as they arrive",
       132,
       {{0us, 1, TStep::Sleep, 131 * kByteNs}, {68ms, 131, TStep::AwaitArrival, 0}, {69ms, 132, TStep::Report, 0}}},
      {"a look well early: looked at again when the rest should be there",
       132,
       {{0us, 1, TStep::Sleep, 131 * kByteNs}, {30ms, 60, TStep::Sleep, 72 * kByteNs}, {69ms, 132, TStep::Report, 0}}},
      {"nothing new: wait for the next arrival, then report once quiet",
       132,
       {{0us, 1, TStep::Sleep, 131 * kByteNs}, {5ms, 1, TStep::AwaitArrival, 0}, {25ms, 1, TStep::Report, 0}}},
      {"a slow device's reply after the echo",
       4,
       {{0us, 1, TStep::Sleep, 3 * kByteNs},
        {2ms, 3, TStep::AwaitArrival, 0},
        {3ms, 3, TStep::AwaitArrival, 0},
        {15ms, 4, TStep::Report, 0}}},
      {"already all there", 4, {{0us, 7, TStep::Report, 0}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TReceivePacer pacer(kByteNs);
    const auto start = TReceivePacer::TClock::now();
    for (const TLook& look : c.Looks) {
      const TStep step = pacer.Next(look.Waiting, c.Threshold, start + look.At);
      EXPECT_EQ(step.What, look.What) << "at " << look.At.count() << " us";
      if (look.What == TStep::Sleep) {
        EXPECT_EQ(step.Ns, look.Ns);
      }
      if (look.What == TStep::AwaitArrival) {
        EXPECT_GT(step.Ns, 0);
      }
    }
  }
}

TEST(ReceivePacer, AnAwaitedArrivalIsBoundedByTheQuietTime) {
  TReceivePacer pacer(kByteNs);
  const auto start = TReceivePacer::TClock::now();
  pacer.Next(10, 132, start);
  const TStep step = pacer.Next(10, 132, start + 5ms);
  ASSERT_EQ(step.What, TStep::AwaitArrival);
  EXPECT_EQ(step.Ns, (TReceivePacer::QuietMs - 5) * 1'000'000LL);
}

// A whole gathering in virtual time, driven as the Linux watch drives it: woken by the first byte,
// then sleeping or awaiting the next arrival as the pacer says. Times count from the write.
using TNs = std::chrono::nanoseconds;

constexpr TNs kWakeLatency = 30us;  // from an arrival to the thread's look

// When each byte of an answer is there, in order.
std::vector<TNs> AtPace(int Count, TNs First, TNs Pace) {
  std::vector<TNs> at;
  for (int i = 0; i < Count; ++i) at.push_back(First + i * Pace);
  return at;
}

// Bytes coming off a line as OffTheLine says, handed over in packets of at most PacketBytes every
// Interval (the first at FirstPacket), as a USB device or adapter does.
std::vector<TNs> InPackets(const std::vector<TNs>& OffTheLine, TNs FirstPacket, TNs Interval, std::size_t PacketBytes) {
  std::vector<TNs> at;
  TNs packet = FirstPacket;
  std::size_t i = 0;
  while (i < OffTheLine.size()) {
    while (packet < OffTheLine[i]) packet += Interval;
    for (std::size_t n = 0; n < PacketBytes && i < OffTheLine.size() && OffTheLine[i] <= packet; ++n, ++i)
      at.push_back(packet);
    packet += Interval;
  }
  return at;
}

// The device (or the simulator playing it) held up From until Until by a busy machine: what was due
// meanwhile comes at once when it goes on.
std::vector<TNs> HeldUp(std::vector<TNs> Arrivals, TNs From, TNs Until) {
  for (TNs& at : Arrivals)
    if (at >= From && at < Until) at = Until;
  return Arrivals;
}

// The same, but the device goes on where it stopped: everything after From comes that much later.
std::vector<TNs> Paused(std::vector<TNs> Arrivals, TNs From, TNs For) {
  for (TNs& at : Arrivals)
    if (at >= From) at += For;
  return Arrivals;
}

struct TGathered {
  std::vector<TLook> Looks;
  TNs ReportedAt{};
  int Reported = 0;
};

TGathered Gather(const std::vector<TNs>& Arrivals, int Threshold, bool WriteKnown) {
  const auto written = TReceivePacer::TClock::time_point(24h);
  TReceivePacer pacer(kByteNs, WriteKnown ? std::optional(written) : std::nullopt);
  const auto waitingAt = [&](TNs T) {
    return static_cast<int>(std::upper_bound(Arrivals.begin(), Arrivals.end(), T) - Arrivals.begin());
  };
  TGathered g;
  TNs now = Arrivals.front() + kWakeLatency;
  for (int looks = 0; looks < 1000; ++looks) {
    const int waiting = waitingAt(now);
    const TStep step = pacer.Next(waiting, Threshold, written + now);
    g.Looks.push_back({std::chrono::duration_cast<std::chrono::microseconds>(now), waiting, step.What, step.Ns});
    if (step.What == TStep::Report) {
      g.ReportedAt = now;
      g.Reported = waiting;
      return g;
    }
    const TNs next = now + TNs(step.Ns);
    if (step.What == TStep::Sleep) {
      now = next;
      continue;
    }
    const auto arrival = std::upper_bound(Arrivals.begin(), Arrivals.end(), now);
    now = arrival != Arrivals.end() && *arrival + kWakeLatency < next ? *arrival + kWakeLatency : next;
  }
  ADD_FAILURE() << "no report after 1000 looks";
  return g;
}

std::string Schedule(const TGathered& G) {
  std::string s;
  for (const TLook& look : G.Looks)
    s += std::to_string(look.At.count()) + " us: " + std::to_string(look.Waiting) + " waiting\n";
  return s;
}

constexpr TNs kLineByte{kByteNs};
constexpr TNs kFastByte{43'403};  // 230400 bit/s
// A data frame's exchange: the rest of its echo and the reply.
constexpr int kExchange = 132;

// A device at the line's own rate keeps the looks it always had: the first byte, then one look when
// the rest should be there, whether or not the write time is known; in packets, no more looks than
// without the write time.
TEST(ReceivePacerSchedule, ADeviceAtTheLinesRateIsLookedAtOnceWhenTheRestShouldBeThere) {
  struct TCase {
    const char* Name;
    std::vector<TNs> Arrivals;
  };
  const std::vector<TNs> atLineRate = AtPace(kExchange, 2 * kLineByte, kLineByte);
  // clang-format off
  const TCase cases[] = {
      {"byte by byte", atLineRate},
      {"a device clock 3 % fast", AtPace(kExchange, 2 * kLineByte, kLineByte * 97 / 100)},
      {"an adapter's 62-byte packets every 16 ms", InPackets(atLineRate, 1ms, 16ms, 62)},
      {"an adapter's packets every millisecond", InPackets(atLineRate, 1ms, 1ms, 62)},
      {"the reply split from the echo by 3 ms",
       [&] { auto a = AtPace(kExchange - 1, 2 * kLineByte, kLineByte); a.push_back(a.back() + 3ms); return a; }()},
  };
  // clang-format on
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TGathered known = Gather(c.Arrivals, kExchange, true);
    const TGathered unknown = Gather(c.Arrivals, kExchange, false);
    EXPECT_EQ(known.Reported, kExchange) << Schedule(known);
    EXPECT_EQ(Schedule(known), Schedule(unknown)) << "the write time changed the looks at the line's rate";
  }
  const TGathered plain = Gather(atLineRate, kExchange, true);
  ASSERT_EQ(plain.Looks.size(), 2u) << Schedule(plain);
  EXPECT_EQ(plain.Looks[0].What, TStep::Sleep);
  EXPECT_EQ(plain.Looks[0].Ns, (kExchange - 1) * kByteNs);
  EXPECT_LE(plain.ReportedAt - atLineRate.back(), kWakeLatency) << Schedule(plain);
}

// A device faster than the line is looked at as its own bytes come: the exchange is reported soon
// after its last byte, in a few looks, however the reply is split across arrivals.
TEST(ReceivePacerSchedule, ADeviceFasterThanTheLineIsReportedAtItsOwnPace) {
  struct TCase {
    const char* Name;
    std::vector<TNs> Arrivals;
    TNs LateAtMost;  // the report after the last byte
    std::size_t LooksAtMost;
  };
  const std::vector<TNs> fast = AtPace(kExchange, 2 * kFastByte, kFastByte);
  const std::vector<TNs> unpaced = AtPace(kExchange, 200us, 2us);
  // clang-format off
  const TCase cases[] = {
      {"230400 bit/s behind a port opened at 19200", fast, 3 * kFastByte, 6},
      {"230400 bit/s, its first byte later by a character at 19200",
       AtPace(kExchange, 2 * kFastByte + kLineByte, kFastByte), 3 * kFastByte, 6},
      {"held up 3 ms before its first byte", HeldUp(fast, 0us, 3ms), 3 * kFastByte, 6},
      {"paused 3 ms before its first byte", Paused(fast, 0us, 3ms), 3 * kFastByte, 6},
      {"held up 3 ms after its first bytes", HeldUp(fast, 400us, 3400us), 6 * kFastByte, 6},
      {"paused 3 ms after its first bytes", Paused(fast, 400us, 3ms), 3 * kFastByte, 7},
      {"a USB device's 64-byte packets every millisecond", InPackets(unpaced, 400us, 1ms, 64), kWakeLatency, 5},
      {"... its packets in another phase", InPackets(unpaced, 990us, 1ms, 64), kWakeLatency, 5},
      {"each byte echoed as it arrives, 2 us apart", unpaced, kWakeLatency + 2us, 4},
      {"a slow reply 5 ms after a fast echo",
       [&] { auto a = AtPace(kExchange - 1, 2 * kFastByte, kFastByte); a.push_back(a.back() + 5ms); return a; }(),
       kWakeLatency, 6},
  };
  // clang-format on
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TGathered g = Gather(c.Arrivals, kExchange, true);
    EXPECT_EQ(g.Reported, kExchange) << Schedule(g);
    EXPECT_LE(g.ReportedAt - c.Arrivals.back(), c.LateAtMost) << Schedule(g);
    EXPECT_LE(g.Looks.size(), c.LooksAtMost) << Schedule(g);
  }
  // Nothing tells a fast device from the line without the write time, nor when its first byte came
  // about when the line would bring it (paused a little before it): the line's look, as before.
  // Another look to find out would cost every exchange at the line's rate a wake-up.
  const TGathered unknown = Gather(fast, kExchange, false);
  ASSERT_EQ(unknown.Looks.size(), 2u) << Schedule(unknown);
  EXPECT_EQ(unknown.Looks[0].Ns, (kExchange - 1) * kByteNs);
  const TGathered pausedFirst = Gather(Paused(fast, 0us, 1500us), kExchange, true);
  ASSERT_EQ(pausedFirst.Looks.size(), 2u) << Schedule(pausedFirst);
  EXPECT_EQ(pausedFirst.Looks[0].Ns, (kExchange - 1) * kByteNs);
}

// A missing reply (or a wrong one, which ends the exchange as any byte does) is seen no later than
// the quiet time after the echo's last byte, at the line's rate and faster.
TEST(ReceivePacerSchedule, AMissingReplyIsReportedOnceTheLineHasBeenQuiet) {
  for (const TNs pace : {kLineByte, kFastByte}) {
    SCOPED_TRACE(pace.count());
    const std::vector<TNs> echo = AtPace(kExchange - 1, 2 * pace, pace);
    const TGathered g = Gather(echo, kExchange, true);
    EXPECT_EQ(g.Reported, kExchange - 1);
    EXPECT_GE(g.ReportedAt - echo.back(), TNs(TReceivePacer::QuietMs * 1ms)) << Schedule(g);
    EXPECT_LE(g.ReportedAt - echo.back(), TNs(TReceivePacer::QuietMs * 1ms) + kWakeLatency + 1ms) << Schedule(g);
  }
}

TEST(CharacterTime, CountsStartDataParityAndStopBits) {
  TSerialLineSettings s;
  s.BaudRate = 19200;
  EXPECT_EQ(CharacterTimeNs(s), 10 * 1'000'000'000LL / 19200);  // 8N1
  s.Parity = 2;
  s.StopBits = 2;
  EXPECT_EQ(CharacterTimeNs(s), 12 * 1'000'000'000LL / 19200);  // 8E2
  s.ByteSize = 7;
  s.StopBits = 1;
  EXPECT_EQ(CharacterTimeNs(s), 21 * 1'000'000'000LL / (2 * 19200));  // 7E1.5
  s.BaudRate = 0;
  EXPECT_EQ(CharacterTimeNs(s), 0);
}

}  // namespace
}  // namespace hexloader
