#pragma once
// The client's protocol state on one RFC 2217 connection: the Telnet decoding and option negotiation,
// the COM port requests sent and the server's answers to them, and the line status it notifies. Pure:
// the network line feeds it what the socket received and sends what it appends.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "serial/com_port_option.h"
#include "serial/telnet_codec.h"

namespace hexloader {

class TRfc2217Protocol {
 public:
  // Appends the client's opening requests (binary both ways, suppress-go-ahead, the COM port option).
  void Start(std::vector<std::uint8_t>& Out);

  // Binary transmission both ways and the COM port option agreed: the line may be set and used.
  bool Negotiated() const;
  enum TRefusal { NoRefusal, ComPortRefused, BinaryRefused };
  // An option the line needs that the server declined.
  TRefusal Refusal() const;

  struct TFeedResult {
    bool DiscardEarlierData = false;
  };
  // Feeds bytes from the server, cut anywhere: data bytes are appended to Data (undoubled), the
  // answers the negotiation owes to Out. The confirmation of a purge sent with Send makes the data
  // before it stale: what this call put in Data is removed, and DiscardEarlierData asks the caller to
  // drop what it keeps from earlier calls.
  TFeedResult Feed(const std::uint8_t* Bytes, std::size_t Count, std::vector<std::uint8_t>& Data,
                   std::vector<std::uint8_t>& Out);

  // Appends Request for the server and notes a purge as awaited.
  void Send(const TComPortRequest& Request, std::vector<std::uint8_t>& Out);

  // How many answers Slot (ComPortReplySlot) has had, and the value of the last.
  std::uint64_t Replies(int Slot) const { return Replies_[Slot]; }
  std::uint32_t LastReply(int Slot) const { return LastReply_[Slot]; }

  TComPortLineStatus& Status() { return Status_; }
  const TComPortLineStatus& Status() const { return Status_; }
  const TTelnetNegotiation& Negotiation() const { return Negotiation_; }
  std::size_t DroppedSubnegotiations() const { return Decoder_.DroppedSubnegotiations(); }

 private:
  class TSink;

  TTelnetDecoder Decoder_;
  TTelnetNegotiation Negotiation_;
  TComPortLineStatus Status_;
  std::array<std::uint64_t, ComPortSlotCount> Replies_{};
  std::array<std::uint32_t, ComPortSlotCount> LastReply_{};
  int PendingPurges_ = 0;
};

}  // namespace hexloader
