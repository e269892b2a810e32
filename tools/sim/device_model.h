#pragma once
// The device at the far end of the line, without any I/O: it takes the bytes the loader sends, one at
// a time, and says what it answers. The line's echo is not its business (the line does that).
#include <cstdint>
#include <string>
#include <vector>

namespace hexloader::sim {

// Faults a real line or device shows, each at a frame number counted from 1 since power-on
// (sync, address, data and end frames all count; the log prints the numbers). 0 = never.
struct TFaults {
  int WrongReplyAt = 0;     // answer this frame with a wrong byte
  int WrongReplyByte = -1;  // ... this one (-1: the right reply XOR 5A)
  int SilentFrom = 0;       // answer nothing from this frame on
  int NoiseAt = 0;          // put NoiseCount noise bytes on the line inside this frame's echo
  int NoiseCount = 1;
  std::uint8_t NoiseByte = 0xFF;
  int HangupAt = 0;  // hang the line up when this frame has arrived
};

enum class TFrameKind { Sync, Address, Data, End, Bad };

struct TFrameRecord {
  int Number = 0;
  TFrameKind Kind = TFrameKind::Bad;
  std::uint16_t Address = 0;
  bool Replied = false;
  std::uint8_t Reply = 0;
};

// What the device does after one received byte.
struct TDeviceAction {
  std::vector<std::uint8_t> NoiseAfterEcho;  // bytes to put on the line right after this byte's echo
  bool HasReply = false;
  std::uint8_t Reply = 0;
  bool FrameDone = false;  // a whole frame arrived; Frame describes it
  TFrameRecord Frame;
  bool EndFrame = false;  // the end frame arrived: the memory is complete
  bool Hangup = false;    // hang the line up now
};

class TDeviceModel {
 public:
  explicit TDeviceModel(TFaults Faults) : Faults_(Faults) {}

  // Switched on: empty memory, frame count 0. The caller sends the hello byte 0x55.
  void PowerOn();
  TDeviceAction Receive(std::uint8_t B);

  // The memory written by data frames: addresses 0 up to the end of the highest data frame, with
  // 0xFF where no frame wrote.
  std::vector<std::uint8_t> Memory() const;

  int FramesSeen() const { return FrameNumber_; }
  int DataFrames() const { return DataFrames_; }
  int AddressFrames() const { return AddressFrames_; }
  int StrayBytes() const { return StrayBytes_; }

 private:
  TDeviceAction CompleteFrame();

  TFaults Faults_;
  std::vector<std::uint8_t> Frame_;
  int FrameNumber_ = 0;
  int DataFrames_ = 0;
  int AddressFrames_ = 0;
  int StrayBytes_ = 0;
  std::vector<std::uint8_t> Memory_ = std::vector<std::uint8_t>(65536, 0xFF);
  std::size_t HighWater_ = 0;
};

std::string DescribeFrame(const TFrameRecord& Frame);

}  // namespace hexloader::sim
