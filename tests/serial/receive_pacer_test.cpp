// The receive pacer's decisions, look by look, and a character's time on the line.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "serial/receive_pacer.h"

namespace hexloader {
namespace {

using namespace std::chrono_literals;
using TStep = TReceivePacer::TStep;

constexpr std::int64_t kByteNs = 520'834;  // 19200 bit/s, 8N1

struct TLook {
  std::chrono::microseconds At;  // since the first look
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
