#pragma once
// The serial component as the upload session's port.
#include "upload/session_port.h"

namespace hexloader {

class TSerialComm;

class TSerialCommPort : public TSessionPort {
 public:
  explicit TSerialCommPort(TSerialComm& Comm) : Comm_(Comm) {}

  std::string DeviceName() const override;
  bool IsOpen() const override;
  void Open() override;
  int WriteBuf(const void* Buffer, int Count) override;
  int ReadBuf(void* Buffer, int Count) override;
  int InQueueCount() override;
  void SetReceiveThreshold(int Count) override;

 private:
  TSerialComm& Comm_;
};

}  // namespace hexloader
