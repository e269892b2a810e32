// Feeds arbitrary bytes, as a stranger's device server might send them, to the network line's
// protocol (Telnet with the COM port option). Checks that the result does not depend on how the bytes
// were cut into reads (whole, byte by byte, at points the input chooses), that the data bytes are those
// of a plain model of the Telnet rules that shares no code with the decoder, and that every answer the
// client owes is a well-formed negotiation command. AddressSanitizer watches the memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "serial/rfc2217_protocol.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t IAC = 255, SB = 250, SE = 240, WILL = 251;

// The data bytes of a stream: outside subnegotiations every byte but a command's; IAC IAC is one 0xFF;
// a subnegotiation ends at IAC SE, or at IAC and any other command, which then counts as a command.
Bytes ModelData(const std::uint8_t* In, std::size_t N) {
  Bytes data;
  std::size_t i = 0;
  bool inSub = false;
  while (i < N) {
    const std::uint8_t b = In[i++];
    if (inSub) {
      if (b != IAC) continue;
      if (i >= N) break;
      const std::uint8_t c = In[i++];
      if (c == IAC) continue;
      inSub = false;
      if (c == SE) continue;
      // The command that cut it short, read as outside.
      if (c >= WILL) ++i;
      else if (c == SB) inSub = true, ++i;
      continue;
    }
    if (b != IAC) {
      data.push_back(b);
      continue;
    }
    if (i >= N) break;
    const std::uint8_t c = In[i++];
    if (c == IAC) data.push_back(IAC);
    else if (c >= WILL) ++i;              // the option
    else if (c == SB) inSub = true, ++i;  // the option, then the payload
  }
  return data;
}

struct TOutcome {
  Bytes Data, Answers;
  bool Negotiated;
  int Refusal;
  std::uint32_t Events, Errors;
  std::uint8_t LineState, ModemState;
  std::vector<std::uint64_t> Replies;
  std::vector<std::uint32_t> Values;
  bool operator==(const TOutcome&) const = default;
};

// Feeds the stream in pieces ending at the cuts (sorted offsets).
TOutcome Run(const std::uint8_t* In, std::size_t N, const std::vector<std::size_t>& Cuts) {
  hexloader::TRfc2217Protocol protocol;
  TOutcome o;
  protocol.Start(o.Answers);
  o.Answers.clear();
  std::size_t from = 0;
  for (std::size_t cut : Cuts) {
    if (cut <= from || cut > N) continue;
    protocol.Feed(In + from, cut - from, o.Data, o.Answers);
    from = cut;
  }
  if (from < N) protocol.Feed(In + from, N - from, o.Data, o.Answers);
  o.Negotiated = protocol.Negotiated();
  o.Refusal = protocol.Refusal();
  const hexloader::TComPortLineStatus& s = protocol.Status();
  o.Events = s.Events;
  o.Errors = s.Errors;
  o.LineState = s.LineState;
  o.ModemState = s.ModemState;
  for (int slot = 0; slot < hexloader::ComPortSlotCount; ++slot) {
    o.Replies.push_back(protocol.Replies(slot));
    o.Values.push_back(protocol.LastReply(slot));
  }
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* In, std::size_t N) {
  const TOutcome whole = Run(In, N, {});
  std::vector<std::size_t> every;
  for (std::size_t i = 1; i < N; ++i) every.push_back(i);
  // Cuts the input picks itself: after each byte whose low bits are zero.
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < N; ++i)
    if ((In[i] & 3) == 0) chosen.push_back(i + 1);
  if (!(Run(In, N, every) == whole) || !(Run(In, N, chosen) == whole)) std::abort();
  if (whole.Data != ModelData(In, N)) std::abort();
  // Answers are negotiation commands only: IAC, a verb, an option.
  if (whole.Answers.size() % 3 != 0) std::abort();
  for (std::size_t i = 0; i < whole.Answers.size(); i += 3)
    if (whole.Answers[i] != IAC || whole.Answers[i + 1] < WILL) std::abort();
  return 0;
}
