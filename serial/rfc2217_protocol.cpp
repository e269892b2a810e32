#include "serial/rfc2217_protocol.h"

namespace hexloader {

class TRfc2217Protocol::TSink : public TTelnetSink {
 public:
  TSink(TRfc2217Protocol& Protocol, std::vector<std::uint8_t>& Data, std::vector<std::uint8_t>& Out)
      : Protocol_(Protocol), Data_(Data), Out_(Out), Base_(Data.size()) {}

  void OnData(const std::uint8_t* Bytes, std::size_t Count) override {
    Data_.insert(Data_.end(), Bytes, Bytes + Count);
  }

  void OnNegotiation(std::uint8_t Verb, std::uint8_t Option) override {
    Protocol_.Negotiation_.Receive(Verb, Option, Out_);
  }

  void OnSubnegotiation(std::uint8_t Option, const std::vector<std::uint8_t>& Payload) override {
    if (Option != telnet::ComPortOption) return;
    const auto reply = ParseComPortReply(Payload);
    if (!reply) return;
    switch (reply->Command) {
      case com_port::NotifyLineState:
      case com_port::NotifyModemState:
      case com_port::FlowControlSuspend:
      case com_port::FlowControlResume: Protocol_.Status_.Notify(*reply); return;
      default: break;
    }
    const int slot = ComPortReplySlot(reply->Command, reply->Value);
    ++Protocol_.Replies_[slot];
    Protocol_.LastReply_[slot] = reply->Value;
    // Only an awaited purge counts: a server answering one it was never asked for must not make the
    // line drop the device's bytes.
    if (reply->Command == com_port::PurgeData && Protocol_.PendingPurges_ > 0) {
      --Protocol_.PendingPurges_;
      Data_.resize(Base_);  // this call's bytes; the caller drops its own
      Result.DiscardEarlierData = true;
    }
  }

  TFeedResult Result;

 private:
  TRfc2217Protocol& Protocol_;
  std::vector<std::uint8_t>& Data_;
  std::vector<std::uint8_t>& Out_;
  std::size_t Base_;  // what Data held before this call
};

void TRfc2217Protocol::Start(std::vector<std::uint8_t>& Out) { Negotiation_.Start(Out); }

bool TRfc2217Protocol::Negotiated() const {
  using telnet::BinaryOption;
  return Negotiation_.Local(BinaryOption) == TTelnetNegotiation::Yes &&
         Negotiation_.Remote(BinaryOption) == TTelnetNegotiation::Yes &&
         Negotiation_.Local(telnet::ComPortOption) == TTelnetNegotiation::Yes;
}

TRfc2217Protocol::TRefusal TRfc2217Protocol::Refusal() const {
  if (Negotiation_.LocalRefused(telnet::ComPortOption)) return ComPortRefused;
  if (Negotiation_.LocalRefused(telnet::BinaryOption) || Negotiation_.RemoteRefused(telnet::BinaryOption))
    return BinaryRefused;
  return NoRefusal;
}

TRfc2217Protocol::TFeedResult TRfc2217Protocol::Feed(const std::uint8_t* Bytes, std::size_t Count,
                                                     std::vector<std::uint8_t>& Data, std::vector<std::uint8_t>& Out) {
  TSink sink(*this, Data, Out);
  Decoder_.Feed(Bytes, Count, sink);
  return sink.Result;
}

void TRfc2217Protocol::Send(const TComPortRequest& Request, std::vector<std::uint8_t>& Out) {
  AppendComPortRequest(Out, Request);
  if (Request.Command == com_port::PurgeData) ++PendingPurges_;
}

}  // namespace hexloader
