#pragma once
// A plain pseudo-terminal behind the session's port interface, for tests that drive the session on the
// test's own thread: Pump reads what the far end sent and hands it to OnRxChar as the serial component
// would (Count = the bytes waiting now). It records every frame written and every receive threshold
// the session asks for.
#include <cstdint>
#include <string>
#include <vector>

#include "upload/session_port.h"
#include "upload/upload_session.h"

namespace hexloader::test {

class TPtySessionPort : public TSessionPort {
 public:
  explicit TPtySessionPort(std::string Path) : Path_(std::move(Path)) {}
  ~TPtySessionPort() override;

  std::string DeviceName() const override { return DeviceName_; }
  void SetDeviceName(const std::string& Name) { DeviceName_ = Name; }
  bool IsOpen() const override { return Fd_ >= 0; }
  void Open() override;
  int WriteBuf(const void* Buffer, int Count) override;
  int ReadBuf(void* Buffer, int Count) override;
  int InQueueCount() override;
  void SetReceiveThreshold(int Count) override {
    Thresholds_.push_back(Count);
    InForce_ = Count;
  }

  // Waits (up to a generous time-out) for received bytes and hands them to the session, once.
  // Returns false when nothing arrived in time.
  bool PumpOnce(TUploadSession& Session, int Limit = 0);
  // Pumps until the session has read Total bytes in all; false when the far end went quiet first.
  bool PumpUntilRead(TUploadSession& Session, long Total);
  // Pumps until Done() holds; false when the far end went quiet first.
  template <typename F>
  bool PumpUntil(TUploadSession& Session, F Done) {
    while (!Done())
      if (!PumpOnce(Session)) return false;
    return true;
  }

  // Waits (generously) until Count received bytes are waiting unread.
  bool WaitUntilWaiting(int Count);

  int OpenCalls() const { return OpenCalls_; }
  long BytesRead() const { return BytesRead_; }
  int LargestRead() const { return LargestRead_; }
  const std::vector<std::vector<std::uint8_t>>& Written() const { return Written_; }
  // Every threshold asked for, in order; ThresholdAtWrite()[i] was in force when Written()[i] went out
  // (each Open starts at 1, as the serial component does).
  const std::vector<int>& Thresholds() const { return Thresholds_; }
  const std::vector<int>& ThresholdAtWrite() const { return ThresholdAtWrite_; }

 private:
  std::string Path_;
  std::string DeviceName_;
  int Fd_ = -1;
  int OpenCalls_ = 0;
  long BytesRead_ = 0;
  int LargestRead_ = 0;
  std::vector<std::vector<std::uint8_t>> Written_;
  std::vector<int> Thresholds_;
  std::vector<int> ThresholdAtWrite_;
  int InForce_ = 1;
};

// Waits generously for Fd to become readable; false on time-out.
bool WaitReadable(int Fd);
// Reads exactly Count bytes from Fd (false when they did not come).
bool ReadExactly(int Fd, std::uint8_t* Buffer, int Count);
void WriteAll(int Fd, const std::vector<std::uint8_t>& Bytes);

}  // namespace hexloader::test
