#include "serial/telnet_codec.h"

#include <algorithm>
#include <cstring>

namespace hexloader {
namespace {

using namespace telnet;

const std::uint8_t kDataIac = IAC;

void AppendCommand(std::vector<std::uint8_t>& Out, std::uint8_t Verb, std::uint8_t Option) {
  Out.insert(Out.end(), {IAC, Verb, Option});
}

}  // namespace

void AppendTelnetData(std::vector<std::uint8_t>& Out, const std::uint8_t* Data, std::size_t Count) {
  Out.reserve(Out.size() + Count + 8);
  const std::uint8_t* end = Data + Count;
  while (Data < end) {
    const auto* iac = static_cast<const std::uint8_t*>(std::memchr(Data, IAC, static_cast<std::size_t>(end - Data)));
    const std::uint8_t* runEnd = iac ? iac + 1 : end;
    Out.insert(Out.end(), Data, runEnd);
    if (iac) Out.push_back(IAC);
    Data = runEnd;
  }
}

void TTelnetDecoder::Feed(const std::uint8_t* Bytes, std::size_t Count, TTelnetSink& Sink) {
  // What IAC followed by C means outside a subnegotiation.
  const auto command = [&](std::uint8_t C) {
    State_ = Data;
    if (C == IAC) {
      Sink.OnData(&kDataIac, 1);
    } else if (C >= WILL) {
      Verb_ = C;
      State_ = Option;
    } else if (C == SB) {
      State_ = SubOption;
    }
    // NOP, GA, DM, BRK and the rest, or an SE without a subnegotiation: nothing for a serial line.
  };
  std::size_t i = 0;
  while (i < Count) {
    switch (State_) {
      case Data: {
        const auto* iac = static_cast<const std::uint8_t*>(std::memchr(Bytes + i, IAC, Count - i));
        const std::size_t end = iac ? static_cast<std::size_t>(iac - Bytes) : Count;
        if (end > i) Sink.OnData(Bytes + i, end - i);
        i = end;
        if (i < Count) {
          State_ = Command;
          ++i;
        }
        break;
      }
      case Command: command(Bytes[i++]); break;
      case Option:
        State_ = Data;
        Sink.OnNegotiation(Verb_, Bytes[i++]);
        break;
      case SubOption:
        SubOption_ = Bytes[i++];
        Sub_.clear();
        SubTooLong_ = false;
        State_ = SubData;
        break;
      case SubData: {
        const auto* iac = static_cast<const std::uint8_t*>(std::memchr(Bytes + i, IAC, Count - i));
        const std::size_t end = iac ? static_cast<std::size_t>(iac - Bytes) : Count;
        const std::size_t room = MaxSubnegotiation - std::min(Sub_.size(), MaxSubnegotiation);
        if (end - i > room) SubTooLong_ = true;
        if (!SubTooLong_) Sub_.insert(Sub_.end(), Bytes + i, Bytes + end);
        i = end;
        if (i < Count) {
          State_ = SubCommand;
          ++i;
        }
        break;
      }
      case SubCommand: {
        const std::uint8_t c = Bytes[i++];
        if (c == IAC) {
          if (Sub_.size() >= MaxSubnegotiation) SubTooLong_ = true;
          if (!SubTooLong_) Sub_.push_back(IAC);
          State_ = SubData;
        } else if (c == SE) {
          State_ = Data;
          if (SubTooLong_) ++Dropped_;
          else Sink.OnSubnegotiation(SubOption_, Sub_);
          Sub_.clear();
        } else {
          // A server that forgot IAC SE: the subnegotiation is dropped and the command read as it stands,
          // rather than taking everything that follows for the subnegotiation's bytes.
          ++Dropped_;
          Sub_.clear();
          command(c);
        }
        break;
      }
    }
  }
}

bool TTelnetNegotiation::Offered(std::uint8_t Option) {
  return Option == BinaryOption || Option == SuppressGoAheadOption || Option == ComPortOption;
}

bool TTelnetNegotiation::Wanted(std::uint8_t Option) {
  return Option == BinaryOption || Option == SuppressGoAheadOption;
}

void TTelnetNegotiation::Start(std::vector<std::uint8_t>& Out) {
  for (const std::uint8_t option : {BinaryOption, SuppressGoAheadOption, ComPortOption}) {
    Local_[option] = WantYes;
    AppendCommand(Out, WILL, option);
  }
  for (const std::uint8_t option : {BinaryOption, SuppressGoAheadOption}) {
    Remote_[option] = WantYes;
    AppendCommand(Out, DO, option);
  }
}

void TTelnetNegotiation::Receive(std::uint8_t Verb, std::uint8_t Option, std::vector<std::uint8_t>& Out) {
  const bool local = Verb == DO || Verb == DONT;
  TState& state = local ? Local_[Option] : Remote_[Option];
  bool& refused = local ? LocalRefused_[Option] : RemoteRefused_[Option];
  const bool accepts = local ? Offered(Option) : Wanted(Option);
  const std::uint8_t agree = local ? WILL : DO;
  const std::uint8_t decline = local ? WONT : DONT;
  if (Verb == DO || Verb == WILL) {
    if (state == Yes) return;
    if (state == WantYes) {  // the answer to our request
      state = Yes;
      refused = false;
      return;
    }
    if (accepts) {
      state = Yes;
      refused = false;
      AppendCommand(Out, agree, Option);
    } else {
      AppendCommand(Out, decline, Option);
    }
    return;
  }
  // DONT, WONT
  if (state == No) return;
  if (state == WantYes) refused = true;
  else AppendCommand(Out, decline, Option);  // it was on: acknowledged
  state = No;
}

}  // namespace hexloader
