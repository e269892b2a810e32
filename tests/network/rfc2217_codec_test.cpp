// The Telnet and COM port option codec: data doubling, the decoder on streams cut anywhere, the
// negotiation's answers, the line settings as requests, the server's answers and notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "serial/com_port_option.h"
#include "serial/rfc2217_protocol.h"
#include "serial/telnet_codec.h"

namespace hexloader {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace telnet;

constexpr std::uint8_t CP = ComPortOption;

// What the decoder reported, written out so that a failing row shows it.
class TRecorder : public TTelnetSink {
 public:
  void OnData(const std::uint8_t* B, std::size_t N) override { Data.insert(Data.end(), B, B + N); }
  void OnNegotiation(std::uint8_t Verb, std::uint8_t Option) override {
    Events += Flush() + "neg " + std::to_string(Verb) + " " + std::to_string(Option) + ";";
  }
  void OnSubnegotiation(std::uint8_t Option, const Bytes& Payload) override {
    Events += Flush() + "sb " + std::to_string(Option) + ":";
    for (std::uint8_t b : Payload) Events += " " + std::to_string(b);
    Events += ";";
  }
  std::string Flush() {
    std::string text;
    if (!Data.empty()) {
      text = "data";
      for (std::uint8_t b : Data) text += " " + std::to_string(b);
      text += ";";
      Data.clear();
    }
    return text;
  }
  std::string All() { return Events + Flush(); }

  Bytes Data;
  std::string Events;
};

std::string Decode(const Bytes& Stream, std::size_t Piece) {
  TTelnetDecoder decoder;
  TRecorder recorder;
  for (std::size_t i = 0; i < Stream.size(); i += Piece)
    decoder.Feed(Stream.data() + i, std::min(Piece, Stream.size() - i), recorder);
  return recorder.All();
}

TEST(TelnetData, EveryFfIsDoubledAndNothingElseChanges) {
  // clang-format off
  const struct { Bytes In; Bytes Out; } cases[] = {
      {{},                           {}},
      {{0x00, 0x0D, 0x0A, 0x0D},     {0x00, 0x0D, 0x0A, 0x0D}},  // no CR/LF rules: binary both ways
      {{0xFF},                       {0xFF, 0xFF}},
      {{0xFF, 0xFF, 0x01, 0xFF},     {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0xFF, 0xFF}},
      {{0xFE, 0xFA, 0xF0},           {0xFE, 0xFA, 0xF0}},
  };
  // clang-format on
  for (const auto& c : cases) {
    Bytes out{0x42};
    AppendTelnetData(out, c.In.data(), c.In.size());
    Bytes expected{0x42};
    expected.insert(expected.end(), c.Out.begin(), c.Out.end());
    EXPECT_EQ(out, expected);
  }
}

TEST(TelnetDecoder, StreamsGiveTheSameResultHoweverTheyAreCut) {
  // clang-format off
  const struct { const char* What; Bytes Stream; std::string Expected; } cases[] = {
      {"plain data",                 {0x00, 0x0D, 0x0A, 0x55},
                                     "data 0 13 10 85;"},
      {"a doubled FF is one byte",   {0x01, IAC, IAC, 0x02, IAC, IAC},
                                     "data 1 255 2 255;"},
      {"negotiations between data",  {0x01, IAC, WILL, 3, IAC, DO, 44, 0x02},
                                     "data 1;neg 251 3;neg 253 44;data 2;"},
      {"a COM port answer",          {IAC, SB, CP, 101, 0, 0, 0xE1, 0, IAC, SE, 0x33},
                                     "sb 44: 101 0 0 225 0;data 51;"},
      {"FF doubled inside SB",       {IAC, SB, CP, 101, IAC, IAC, 0, 0, IAC, IAC, IAC, SE},
                                     "sb 44: 101 255 0 0 255;"},
      {"commands without meaning",   {0x01, IAC, NOP, IAC, GA, IAC, 242, IAC, 243, IAC, SE, 0x02},
                                     "data 1 2;"},
      {"a command cuts SB short",    {IAC, SB, CP, 107, 0x30, IAC, WILL, 1, 0x05},
                                     "neg 251 1;data 5;"},
      {"an empty subnegotiation",    {IAC, SB, 24, IAC, SE},
                                     "sb 24:;"},
      {"option 255",                 {IAC, DO, 255, IAC, SB, 255, 7, IAC, SE},
                                     "neg 253 255;sb 255: 7;"},
  };
  // clang-format on
  for (const auto& c : cases) {
    for (std::size_t piece : {c.Stream.size() ? c.Stream.size() : 1, std::size_t{1}, std::size_t{2}, std::size_t{3}})
      EXPECT_EQ(Decode(c.Stream, piece), c.Expected) << c.What << ", fed " << piece << " bytes at a time";
  }
}

TEST(TelnetDecoder, AnOverlongSubnegotiationIsDroppedWholeAndDataFollows) {
  Bytes stream{IAC, SB, CP, 100};
  stream.insert(stream.end(), 100'000, 'x');  // a signature that never ends, as far as memory goes
  stream.insert(stream.end(), {IAC, IAC, IAC, SE, 0x41});
  for (std::size_t piece : {stream.size(), std::size_t{1}, std::size_t{4096}}) {
    TTelnetDecoder decoder;
    TRecorder recorder;
    for (std::size_t i = 0; i < stream.size(); i += piece)
      decoder.Feed(stream.data() + i, std::min(piece, stream.size() - i), recorder);
    EXPECT_EQ(recorder.All(), "data 65;") << piece;
    EXPECT_EQ(decoder.DroppedSubnegotiations(), 1u);
  }
  // Exactly at the limit it still counts.
  Bytes limit{IAC, SB, CP};
  limit.insert(limit.end(), TTelnetDecoder::MaxSubnegotiation, 7);
  limit.insert(limit.end(), {IAC, SE});
  TTelnetDecoder decoder;
  TRecorder recorder;
  decoder.Feed(limit.data(), limit.size(), recorder);
  EXPECT_EQ(decoder.DroppedSubnegotiations(), 0u);
  EXPECT_EQ(recorder.Events.substr(0, 8), "sb 44: 7");
}

Bytes Answer(TTelnetNegotiation& N, std::uint8_t Verb, std::uint8_t Option) {
  Bytes out;
  N.Receive(Verb, Option, out);
  return out;
}

TEST(TelnetNegotiation, TheClientAsksForBinarySuppressGoAheadAndTheComPortOption) {
  TTelnetNegotiation n;
  Bytes out;
  n.Start(out);
  EXPECT_EQ(out, (Bytes{IAC, WILL, 0, IAC, WILL, 3, IAC, WILL, 44, IAC, DO, 0, IAC, DO, 3}));
}

TEST(TelnetNegotiation, AnswersFollowTheStateSoNoLoopCanStart) {
  using S = TTelnetNegotiation;
  // clang-format off
  const struct { const char* What; std::vector<std::pair<std::uint8_t, std::uint8_t>> Before;
                 std::uint8_t Verb, Option; Bytes Answer; S::TState Local, Remote; } cases[] = {
      {"DO for an option asked for is its answer",   {},            DO,   44, {},                  S::Yes,     S::No},
      {"WILL for an option asked for is its answer", {},            WILL, 0,  {},                  S::WantYes, S::Yes},
      {"DO repeated is not answered",                {{DO, 44}},    DO,   44, {},                  S::Yes,     S::No},
      {"echo is refused",                            {},            WILL, 1,  {IAC, DONT, 1},      S::No,      S::No},
      {"echo refused again when repeated",           {{WILL, 1}},   WILL, 1,  {IAC, DONT, 1},      S::No,      S::No},
      {"DONT ECHO asks for nothing",                 {},            DONT, 1,  {},                  S::No,      S::No},
      {"an unknown DO is refused",                   {},            DO,   24, {IAC, WONT, 24},     S::No,      S::No},
      {"an unknown WILL is refused",                 {},            WILL, 31, {IAC, DONT, 31},     S::No,      S::No},
      {"WONT for a refused option asks for nothing", {},            WONT, 31, {},                  S::No,      S::No},
      {"DONT after agreement is acknowledged",       {{DO, 44}},    DONT, 44, {IAC, WONT, 44},     S::No,      S::No},
      {"WONT after agreement is acknowledged",       {{WILL, 0}},   WONT, 0,  {IAC, DONT, 0},      S::WantYes, S::No},
      {"DO after a refusal is agreed to",            {{DONT, 44}},  DO,   44, {IAC, WILL, 44},     S::Yes,     S::No},
  };
  // clang-format on
  for (const auto& c : cases) {
    TTelnetNegotiation n;
    Bytes start;
    n.Start(start);
    for (const auto& [verb, option] : c.Before) Answer(n, verb, option);
    EXPECT_EQ(Answer(n, c.Verb, c.Option), c.Answer) << c.What;
    EXPECT_EQ(n.Local(c.Option), c.Local) << c.What;
    EXPECT_EQ(n.Remote(c.Option), c.Remote) << c.What;
  }
}

TEST(TelnetNegotiation, ARefusalOfARequestIsNotedAndNotAnswered) {
  TTelnetNegotiation n;
  Bytes start;
  n.Start(start);
  EXPECT_EQ(Answer(n, DONT, ComPortOption), Bytes{});
  EXPECT_TRUE(n.LocalRefused(ComPortOption));
  EXPECT_EQ(Answer(n, WONT, BinaryOption), Bytes{});
  EXPECT_TRUE(n.RemoteRefused(BinaryOption));
}

TSerialLineSettings LoaderLine(std::int32_t Rate) {
  TSerialLineSettings s;
  s.BaudRate = Rate;
  return s;  // 8N1, no flow control, DTR and RTS disabled: what the loader always asks for
}

Bytes Encoded(const std::vector<TComPortRequest>& Requests) {
  Bytes out;
  for (const TComPortRequest& r : Requests) AppendComPortRequest(out, r);
  return out;
}

TEST(ComPortOption, TheLoadersLineAsRequests) {
  // clang-format off
  const Bytes expected{
      IAC, SB, CP, 1, 0x00, 0x00, 0xE1, 0x00, IAC, SE,  // 57600 bit/s
      IAC, SB, CP, 2, 8, IAC, SE,                       // 8 data bits
      IAC, SB, CP, 3, 1, IAC, SE,                       // no parity
      IAC, SB, CP, 4, 1, IAC, SE,                       // 1 stop bit
      IAC, SB, CP, 5, 1, IAC, SE,                       // no flow control
      IAC, SB, CP, 5, 9, IAC, SE,                       // DTR off
      IAC, SB, CP, 5, 12, IAC, SE,                      // RTS off
  };
  // clang-format on
  const std::vector<TComPortRequest> requests = ComPortRequestsFor(LoaderLine(57600));
  EXPECT_EQ(Encoded(requests), expected);
  // Only the modem lines go unconfirmed.
  for (const TComPortRequest& r : requests)
    EXPECT_EQ(r.AwaitsReply, !(r.Command == com_port::SetControl && (r.Value == 9 || r.Value == 12))) << int(r.Value);
}

TEST(ComPortOption, OtherSettingsAsRequests) {
  // clang-format off
  const struct { const char* What; void (*Set)(TSerialLineSettings&); TComPortRequest Expected; } cases[] = {
      {"odd parity",       [](TSerialLineSettings& s) { s.Parity = 1; },             {com_port::SetParity, 2}},
      {"space parity",     [](TSerialLineSettings& s) { s.Parity = 4; },             {com_port::SetParity, 5}},
      {"1.5 stop bits",    [](TSerialLineSettings& s) { s.StopBits = 1; },           {com_port::SetStopSize, 3}},
      {"2 stop bits",      [](TSerialLineSettings& s) { s.StopBits = 2; },           {com_port::SetStopSize, 2}},
      {"7 data bits",      [](TSerialLineSettings& s) { s.ByteSize = 7; },           {com_port::SetDataSize, 7}},
      {"CTS flow",         [](TSerialLineSettings& s) { s.OutxCtsFlow = true; },     {com_port::SetControl, 3}},
      {"XON/XOFF",         [](TSerialLineSettings& s) { s.InX = true; },             {com_port::SetControl, 2}},
      {"DTR on",           [](TSerialLineSettings& s) { s.DtrControl = dtrEnabled; }, {com_port::SetControl, 8, false}},
      {"RTS on",           [](TSerialLineSettings& s) { s.RtsControl = rtsEnabled; }, {com_port::SetControl, 11, false}},
      {"a rate with FF",   [](TSerialLineSettings& s) { s.BaudRate = 0xFF; },        {com_port::SetBaudRate, 0xFF}},
  };
  // clang-format on
  for (const auto& c : cases) {
    TSerialLineSettings s = LoaderLine(19200);
    c.Set(s);
    const std::vector<TComPortRequest> requests = ComPortRequestsFor(s);
    EXPECT_NE(std::find(requests.begin(), requests.end(), c.Expected), requests.end()) << c.What;
  }
  // The value's 0xFF is doubled like any other.
  EXPECT_EQ(Encoded({{com_port::SetBaudRate, 0xFF}}), (Bytes{IAC, SB, CP, 1, 0, 0, 0, IAC, IAC, IAC, SE}));
}

TEST(ComPortOption, TheServersAnswers) {
  // clang-format off
  const struct { const char* What; Bytes Payload; bool Valid; std::uint8_t Command; std::uint32_t Value; } cases[] = {
      {"bit rate",                 {101, 0, 0, 0xE1, 0},  true,  1,  57600},
      {"a large bit rate",         {101, 0, 0x2D, 0xC6, 0xC0}, true, 1, 3'000'000},
      {"data bits",                {102, 8},              true,  2,  8},
      {"flow control",             {105, 1},              true,  5,  1},
      {"purge",                    {112, 3},              true,  12, 3},
      {"modem state",              {107, 0x30},           true,  7,  0x30},
      {"flow suspended",           {108},                 true,  8,  0},
      {"a short bit rate",         {101, 0, 0xE1},        false, 0,  0},
      {"a long data bits",         {102, 8, 8},           false, 0,  0},
      {"an empty one",             {},                    false, 0,  0},
      {"a client's command",       {1, 0, 0, 0xE1, 0},    false, 0,  0},
      {"an unknown code",          {113, 1},              false, 0,  0},
      {"a signature",              {100, 'h', 'i'},       false, 0,  0},
  };
  // clang-format on
  for (const auto& c : cases) {
    const auto reply = ParseComPortReply(c.Payload);
    ASSERT_EQ(reply.has_value(), c.Valid) << c.What;
    if (!reply) continue;
    EXPECT_EQ(reply->Command, c.Command) << c.What;
    EXPECT_EQ(reply->Value, c.Value) << c.What;
  }
}

TEST(ComPortOption, NotificationsBecomeLineEventsAndErrors) {
  // clang-format off
  const struct { const char* What; std::uint8_t Command, Value; std::uint32_t Events, Errors; } cases[] = {
      {"an overrun",             6, 0x02,        EV_ERR,                 CE_OVERRUN},
      {"parity and framing",     6, 0x0C,        EV_ERR,                 CE_RXPARITY | CE_FRAME},
      {"a break",                6, 0x10,        EV_BREAK,               CE_BREAK},
      {"data ready only",        6, 0x61,        0,                      0},
      {"CTS rose",               7, 0x11,        EV_CTS,                 0},
      {"DSR and CD rose",        7, 0xA0,        EV_DSR | EV_RLSD,       0},
      {"a ring ended",           7, 0x04,        EV_RING,                0},
      {"nothing changed",        7, 0x00,        0,                      0},
  };
  // clang-format on
  for (const auto& c : cases) {
    TComPortLineStatus status;
    status.Notify({c.Command, c.Value});
    EXPECT_EQ(status.Events, c.Events) << c.What;
    EXPECT_EQ(status.Errors, c.Errors) << c.What;
  }
}

// The protocol, fed a server's whole answer as ser2net sends it.
TEST(Rfc2217Protocol, Ser2netsGreetingCompletesTheNegotiation) {
  TRfc2217Protocol p;
  Bytes out, data;
  p.Start(out);
  out.clear();
  const Bytes greeting{IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 1, IAC, DONT, 1, IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44};
  for (std::uint8_t b : greeting) p.Feed(&b, 1, data, out);
  EXPECT_TRUE(p.Negotiated());
  EXPECT_EQ(p.Refusal(), TRfc2217Protocol::NoRefusal);
  EXPECT_EQ(out, (Bytes{IAC, DONT, 1}));  // only the echo is answered: the rest answered our requests
  EXPECT_TRUE(data.empty());
}

TEST(Rfc2217Protocol, ARefusedComPortOptionOrBinaryIsReported) {
  const struct {
    Bytes Server;
    TRfc2217Protocol::TRefusal Refusal;
  } cases[] = {{{IAC, DONT, 44}, TRfc2217Protocol::ComPortRefused},
               {{IAC, WONT, 0}, TRfc2217Protocol::BinaryRefused},
               {{IAC, DONT, 0}, TRfc2217Protocol::BinaryRefused}};
  for (const auto& c : cases) {
    TRfc2217Protocol p;
    Bytes out, data;
    p.Start(out);
    p.Feed(c.Server.data(), c.Server.size(), data, out);
    EXPECT_EQ(p.Refusal(), c.Refusal);
    EXPECT_FALSE(p.Negotiated());
  }
}

TEST(Rfc2217Protocol, APurgesConfirmationDropsTheDataBeforeIt) {
  TRfc2217Protocol p;
  Bytes out, data{9, 9};
  const Bytes early{1, 2};
  p.Feed(early.data(), early.size(), data, out);
  p.Send({com_port::PurgeData, com_port::PurgeBoth}, out);
  const Bytes stream{3, 4, IAC, SB, CP, 112, 3, IAC, SE, 5, 6};
  const auto result = p.Feed(stream.data(), stream.size(), data, out);
  EXPECT_TRUE(result.DiscardEarlierData);
  EXPECT_EQ(data, (Bytes{9, 9, 1, 2, 5, 6}));  // this call's stale bytes gone; the caller drops the rest
  // A confirmation nobody asked for drops nothing.
  const auto again = p.Feed(stream.data(), stream.size(), data, out);
  EXPECT_FALSE(again.DiscardEarlierData);
  EXPECT_EQ(data.size(), 10u);
}

TEST(Rfc2217Protocol, ADtrConfirmationIsNotTakenForTheFlowControls) {
  TRfc2217Protocol p;
  Bytes out, data;
  const Bytes dtr{IAC, SB, CP, 105, 9, IAC, SE};
  p.Feed(dtr.data(), dtr.size(), data, out);
  EXPECT_EQ(p.Replies(ComPortReplySlot(com_port::SetControl, com_port::ControlFlowNone)), 0u);
  EXPECT_EQ(p.Replies(ComPortReplySlot(com_port::SetControl, com_port::ControlDtrOff)), 1u);
  const Bytes flow{IAC, SB, CP, 105, 1, IAC, SE};
  p.Feed(flow.data(), flow.size(), data, out);
  EXPECT_EQ(p.Replies(ComPortReplySlot(com_port::SetControl, com_port::ControlFlowNone)), 1u);
  EXPECT_EQ(p.LastReply(ComPortReplySlot(com_port::SetControl, com_port::ControlFlowNone)), 1u);
}

}  // namespace
}  // namespace hexloader
