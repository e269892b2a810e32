#include "tools/sim/device_model.h"

#include <algorithm>
#include <cstdio>

namespace hexloader::sim {
namespace {

constexpr int kDataLen = 131;
constexpr int kShortLen = 3;

int FrameLength(std::uint8_t Kind) {
  switch (Kind) {
    case 0x55:
    case 0x11:
    case 0x99: return kShortLen;
    case 0x22: return kDataLen;
    default: return 0;
  }
}

}  // namespace

void TDeviceModel::PowerOn() {
  Frame_.clear();
  FrameNumber_ = DataFrames_ = AddressFrames_ = StrayBytes_ = 0;
  std::fill(Memory_.begin(), Memory_.end(), 0xFF);
  HighWater_ = 0;
}

TDeviceAction TDeviceModel::Receive(std::uint8_t B) {
  TDeviceAction Action;
  if (Frame_.empty() && FrameLength(B) == 0) {
    ++StrayBytes_;  // not the start of any frame: a real device would ignore it as well
    return Action;
  }
  Frame_.push_back(B);
  if (Frame_.size() == 1 && FrameNumber_ + 1 == Faults_.NoiseAt)
    Action.NoiseAfterEcho.assign(static_cast<std::size_t>(std::max(Faults_.NoiseCount, 0)), Faults_.NoiseByte);
  if (static_cast<int>(Frame_.size()) < FrameLength(Frame_[0])) return Action;
  TDeviceAction Done = CompleteFrame();
  Done.NoiseAfterEcho = std::move(Action.NoiseAfterEcho);
  return Done;
}

TDeviceAction TDeviceModel::CompleteFrame() {
  TDeviceAction Action;
  TFrameRecord& F = Action.Frame;
  F.Number = ++FrameNumber_;
  F.Address = static_cast<std::uint16_t>((Frame_[1] << 8) | Frame_[2]);
  std::uint8_t Reply = 0xAA;
  switch (Frame_[0]) {
    case 0x55: F.Kind = (Frame_[1] == 0x33 && Frame_[2] == 0xCC) ? TFrameKind::Sync : TFrameKind::Bad; break;
    case 0x11:
      F.Kind = TFrameKind::Address;
      ++AddressFrames_;
      break;
    case 0x22: {
      F.Kind = TFrameKind::Data;
      ++DataFrames_;
      unsigned Sum = 0;
      for (int i = 0; i < 128; ++i) {
        Memory_[(F.Address + i) % 65536] = Frame_[3 + i];
        Sum += Frame_[3 + i];
      }
      HighWater_ = std::min<std::size_t>(65536, std::max<std::size_t>(HighWater_, F.Address + 128u));
      Reply = static_cast<std::uint8_t>(Sum & 0xFF);
      break;
    }
    case 0x99:
      F.Kind = TFrameKind::End;
      Action.EndFrame = true;
      break;
  }
  Frame_.clear();

  const bool Silent = Faults_.SilentFrom > 0 && F.Number >= Faults_.SilentFrom;
  if (F.Kind != TFrameKind::End && F.Kind != TFrameKind::Bad && !Silent) {
    if (F.Number == Faults_.WrongReplyAt)
      Reply = static_cast<std::uint8_t>(Faults_.WrongReplyByte >= 0 ? Faults_.WrongReplyByte : Reply ^ 0x5A);
    Action.HasReply = true;
    Action.Reply = Reply;
    F.Replied = true;
    F.Reply = Reply;
  }
  Action.FrameDone = true;
  Action.Hangup = F.Number == Faults_.HangupAt;
  return Action;
}

std::vector<std::uint8_t> TDeviceModel::Memory() const {
  return std::vector<std::uint8_t>(Memory_.begin(), Memory_.begin() + static_cast<long>(HighWater_));
}

std::string DescribeFrame(const TFrameRecord& F) {
  char Text[96];
  const char* Kind = "bad";
  switch (F.Kind) {
    case TFrameKind::Sync: Kind = "sync"; break;
    case TFrameKind::Address: Kind = "address"; break;
    case TFrameKind::Data: Kind = "data"; break;
    case TFrameKind::End: Kind = "end"; break;
    case TFrameKind::Bad: Kind = "bad"; break;
  }
  char Address[8] = "";
  if (F.Kind == TFrameKind::Address || F.Kind == TFrameKind::Data)
    std::snprintf(Address, sizeof Address, " %04X", F.Address);
  if (F.Replied) std::snprintf(Text, sizeof Text, "#%d %s%s -> %02X", F.Number, Kind, Address, F.Reply);
  else std::snprintf(Text, sizeof Text, "#%d %s%s -> (no reply)", F.Number, Kind, Address);
  return Text;
}

}  // namespace hexloader::sim
