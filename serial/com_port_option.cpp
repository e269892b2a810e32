#include "serial/com_port_option.h"

#include "serial/telnet_codec.h"

namespace hexloader {
namespace {

using namespace com_port;

// SET-CONTROL carries several settings; a reply is matched to its request by the value's group.
enum TControlGroup { OutboundFlow, Break, Dtr, Rts, InboundFlow };

TControlGroup ControlGroupOf(std::uint32_t Value) {
  if (Value >= 4 && Value <= 6) return Break;
  if (Value >= 7 && Value <= 9) return Dtr;
  if (Value >= 10 && Value <= 12) return Rts;
  if ((Value >= 13 && Value <= 16) || Value == ControlDtrFlowInbound) return InboundFlow;
  return OutboundFlow;  // 0..3, DCD and DSR flow control
}

}  // namespace

int ComPortReplySlot(std::uint8_t Command, std::uint32_t Value) {
  if (Command != SetControl) return Command;
  switch (ControlGroupOf(Value)) {
    case OutboundFlow: return SetControl;
    case Break: return CommandCount;
    case Dtr: return CommandCount + 1;
    case Rts: return CommandCount + 2;
    case InboundFlow: return CommandCount + 3;
  }
  return SetControl;
}

std::vector<TComPortRequest> ComPortRequestsFor(const TSerialLineSettings& Settings) {
  std::vector<TComPortRequest> requests{
      {SetBaudRate, static_cast<std::uint32_t>(Settings.BaudRate)},
      {SetDataSize, Settings.ByteSize},
      {SetParity, static_cast<std::uint32_t>(Settings.Parity) + 1},  // none, odd, even, mark, space
      {SetStopSize, Settings.StopBits == 1   ? StopOneAndHalf
                    : Settings.StopBits == 2 ? StopTwo
                                             : StopOne},
  };
  const bool hardware = Settings.OutxCtsFlow || Settings.RtsControl == rtsHandshake;
  const bool software = Settings.OutX || Settings.InX;
  requests.push_back({SetControl, hardware ? ControlFlowHardware : software ? ControlFlowXonXoff : ControlFlowNone});
  switch (Settings.DtrControl) {
    case dtrDisabled: requests.push_back({SetControl, ControlDtrOff, false}); break;
    case dtrEnabled: requests.push_back({SetControl, ControlDtrOn, false}); break;
    case dtrHandshake: requests.push_back({SetControl, ControlDtrFlowInbound, false}); break;
  }
  // RTS handshaking is the hardware flow control above; toggling RTS around each write has no
  // command, so RTS is left to the server then.
  if (Settings.RtsControl == rtsDisabled) requests.push_back({SetControl, ControlRtsOff, false});
  if (Settings.RtsControl == rtsEnabled) requests.push_back({SetControl, ControlRtsOn, false});
  return requests;
}

void AppendComPortRequest(std::vector<std::uint8_t>& Out, const TComPortRequest& Request) {
  Out.insert(Out.end(), {telnet::IAC, telnet::SB, telnet::ComPortOption});
  std::vector<std::uint8_t> body{Request.Command};
  if (Request.Command == SetBaudRate) {
    for (int shift = 24; shift >= 0; shift -= 8) body.push_back(static_cast<std::uint8_t>(Request.Value >> shift));
  } else {
    body.push_back(static_cast<std::uint8_t>(Request.Value));
  }
  AppendTelnetData(Out, body.data(), body.size());
  Out.insert(Out.end(), {telnet::IAC, telnet::SE});
}

std::optional<TComPortReply> ParseComPortReply(const std::vector<std::uint8_t>& Payload) {
  if (Payload.empty() || Payload[0] < ServerOffset || Payload[0] >= ServerOffset + CommandCount) return std::nullopt;
  TComPortReply reply{static_cast<std::uint8_t>(Payload[0] - ServerOffset), 0};
  switch (reply.Command) {
    case Signature: return std::nullopt;
    case SetBaudRate:
      if (Payload.size() != 5) return std::nullopt;
      reply.Value = std::uint32_t{Payload[1]} << 24 | std::uint32_t{Payload[2]} << 16 | std::uint32_t{Payload[3]} << 8 |
                    Payload[4];
      return reply;
    case FlowControlSuspend:
    case FlowControlResume: return Payload.size() == 1 ? std::optional(reply) : std::nullopt;
    default:
      if (Payload.size() != 2) return std::nullopt;
      reply.Value = Payload[1];
      return reply;
  }
}

std::string ComPortSettingName(std::uint8_t Command) {
  switch (Command) {
    case SetBaudRate: return "the bit rate";
    case SetDataSize: return "the data bits";
    case SetParity: return "the parity";
    case SetStopSize: return "the stop bits";
    case SetControl: return "the flow control";
    case PurgeData: return "the purge of its buffers";
    default: return "command " + std::to_string(Command);
  }
}

std::string ComPortValueText(std::uint8_t Command, std::uint32_t Value) {
  static const char* const parities[] = {"none", "odd", "even", "mark", "space"};
  static const char* const stops[] = {"1", "2", "1.5"};
  static const char* const flows[] = {"none", "XON/XOFF", "hardware"};
  if (Command == SetParity && Value >= 1 && Value <= 5) return parities[Value - 1];
  if (Command == SetStopSize && Value >= 1 && Value <= 3) return stops[Value - 1];
  if (Command == SetControl && Value >= 1 && Value <= 3) return flows[Value - 1];
  return std::to_string(Value);
}

void TComPortLineStatus::Notify(const TComPortReply& Reply) {
  switch (Reply.Command) {
    case NotifyLineState: {
      const std::uint8_t state = static_cast<std::uint8_t>(Reply.Value);
      LineState = state;
      if (state & LineOverrunError) Errors |= CE_OVERRUN;
      if (state & LineParityError) Errors |= CE_RXPARITY;
      if (state & LineFramingError) Errors |= CE_FRAME;
      if (state & LineBreak) Errors |= CE_BREAK;
      if (state & (LineOverrunError | LineParityError | LineFramingError)) Events |= EV_ERR;
      if (state & LineBreak) Events |= EV_BREAK;
      break;
    }
    case NotifyModemState: {
      const std::uint8_t state = static_cast<std::uint8_t>(Reply.Value);
      // A line that changed counts whether the server set its change bit or only its new level.
      const std::uint8_t changed = static_cast<std::uint8_t>((state ^ ModemState) & 0xF0);
      if ((changed & ModemCts) || (state & ModemDeltaCts)) Events |= EV_CTS;
      if ((changed & ModemDsr) || (state & ModemDeltaDsr)) Events |= EV_DSR;
      if ((changed & ModemRlsd) || (state & ModemDeltaRlsd)) Events |= EV_RLSD;
      if ((changed & ModemRing) || (state & ModemRingEnded)) Events |= EV_RING;
      ModemState = state;
      break;
    }
    case FlowControlSuspend: FlowSuspended = true; break;
    case FlowControlResume: FlowSuspended = false; break;
    default: break;
  }
}

}  // namespace hexloader
