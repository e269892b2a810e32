#pragma once
// The Telnet COM port option (RFC 2217): the commands that set a network serial port's line, the
// server's answers to them and its notifications of the line's and the modem lines' state. Pure.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/line_settings.h"
#include "serial/serial_types.h"

namespace hexloader {

namespace com_port {
// Commands from the client; the server answers (and notifies) with the same code plus ServerOffset.
inline constexpr std::uint8_t Signature = 0;
inline constexpr std::uint8_t SetBaudRate = 1;  // 4 bytes, network order; 0 asks for the current rate
inline constexpr std::uint8_t SetDataSize = 2;  // 5..8; 0 asks
inline constexpr std::uint8_t SetParity = 3;    // see Parity*; 0 asks
inline constexpr std::uint8_t SetStopSize = 4;  // see Stop*; 0 asks
inline constexpr std::uint8_t SetControl = 5;   // see Control*
inline constexpr std::uint8_t NotifyLineState = 6;
inline constexpr std::uint8_t NotifyModemState = 7;
inline constexpr std::uint8_t FlowControlSuspend = 8;  // the server asks the client to stop sending
inline constexpr std::uint8_t FlowControlResume = 9;
inline constexpr std::uint8_t SetLineStateMask = 10;
inline constexpr std::uint8_t SetModemStateMask = 11;
inline constexpr std::uint8_t PurgeData = 12;  // see Purge*
inline constexpr std::uint8_t CommandCount = 13;
inline constexpr std::uint8_t ServerOffset = 100;

// clang-format off
inline constexpr std::uint8_t ParityNone = 1, ParityOdd = 2, ParityEven = 3, ParityMark = 4, ParitySpace = 5;
inline constexpr std::uint8_t StopOne = 1, StopTwo = 2, StopOneAndHalf = 3;
inline constexpr std::uint8_t ControlFlowNone = 1;      // outbound, or both ways
inline constexpr std::uint8_t ControlFlowXonXoff = 2;
inline constexpr std::uint8_t ControlFlowHardware = 3;
inline constexpr std::uint8_t ControlDtrOn = 8, ControlDtrOff = 9;
inline constexpr std::uint8_t ControlRtsOn = 11, ControlRtsOff = 12;
inline constexpr std::uint8_t ControlDtrFlowInbound = 18;
inline constexpr std::uint8_t PurgeReceive = 1, PurgeTransmit = 2, PurgeBoth = 3;  // the server's buffers

// NOTIFY-LINESTATE bits.
inline constexpr std::uint8_t LineTimeoutError = 0x80, LineShiftRegisterEmpty = 0x40, LineHoldingRegisterEmpty = 0x20,
                              LineBreak = 0x10, LineFramingError = 0x08, LineParityError = 0x04,
                              LineOverrunError = 0x02, LineDataReady = 0x01;
// NOTIFY-MODEMSTATE bits: the lines, then their changes since the previous notification.
inline constexpr std::uint8_t ModemRlsd = 0x80, ModemRing = 0x40, ModemDsr = 0x20, ModemCts = 0x10,
                              ModemDeltaRlsd = 0x08, ModemRingEnded = 0x04, ModemDeltaDsr = 0x02,
                              ModemDeltaCts = 0x01;
// clang-format on
}  // namespace com_port

// One command to the server.
struct TComPortRequest {
  std::uint8_t Command = 0;
  std::uint32_t Value = 0;
  // The server confirms it with the value in use; modem-line changes are sent without waiting, as a
  // server in front of a line without modem lines (a pseudo-terminal) never confirms them.
  bool AwaitsReply = true;
  friend bool operator==(const TComPortRequest&, const TComPortRequest&) = default;
};

// The requests that give a line Settings, in the order RFC 2217 recommends: bit rate, data bits,
// parity, stop bits, flow control, then DTR and RTS.
std::vector<TComPortRequest> ComPortRequestsFor(const TSerialLineSettings& Settings);

// Where a reply to Command with Value is kept: the command itself, except that SET-CONTROL's settings
// (flow control, break, DTR, RTS, inbound flow control) each have a slot of their own, so that a
// server confirming DTR is never taken to have confirmed the flow control.
inline constexpr int ComPortSlotCount = com_port::CommandCount + 4;
int ComPortReplySlot(std::uint8_t Command, std::uint32_t Value);

// Appends IAC SB COM-PORT-OPTION command value IAC SE, 0xFF in the value doubled.
void AppendComPortRequest(std::vector<std::uint8_t>& Out, const TComPortRequest& Request);

// A COM port subnegotiation from the server, its code less ServerOffset.
struct TComPortReply {
  std::uint8_t Command = 0;
  std::uint32_t Value = 0;
};

// Reads a server's COM port subnegotiation: nothing when it is not one the client understands (a
// client's code, a wrong length, a signature text).
std::optional<TComPortReply> ParseComPortReply(const std::vector<std::uint8_t>& Payload);

// What a value of Command means, for messages: "the bit rate", "57600"...
std::string ComPortSettingName(std::uint8_t Command);
std::string ComPortValueText(std::uint8_t Command, std::uint32_t Value);

// The line and modem-line state from the server's notifications, and what they mean for the serial
// component: line events (EV_*) and error flags (CE_*) gathered until taken.
struct TComPortLineStatus {
  std::uint8_t LineState = 0;
  std::uint8_t ModemState = 0;
  bool FlowSuspended = false;  // the server asked the client to hold its data (TCP holds it anyway)
  std::uint32_t Events = 0;
  std::uint32_t Errors = 0;

  void Notify(const TComPortReply& Reply);
};

}  // namespace hexloader
