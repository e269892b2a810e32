#pragma once
// The narrow view of the serial port that the upload session needs. The window and the command-line
// tool pass the serial component through TSerialCommPort (serial_comm_port.h); tests may put a plain
// pseudo-terminal behind it.
#include <string>

namespace hexloader {

class TSessionPort {
 public:
  virtual ~TSessionPort() = default;

  virtual std::string DeviceName() const = 0;
  virtual bool IsOpen() const = 0;
  // Raises the port's own exception when it cannot be opened.
  virtual void Open() = 0;
  // Sends Count bytes; returns the number accepted.
  virtual int WriteBuf(const void* Buffer, int Count) = 0;
  // Reads up to Count received bytes; returns how many were read (0 when none came in time).
  virtual int ReadBuf(void* Buffer, int Count) = 0;
  // Received bytes not yet read (0 when the port cannot tell). The reply time-out asks it: bytes that
  // came but were not yet handed over (the thread they go to was busy) are no silence of the device.
  virtual int InQueueCount() { return 0; }
  // How many received bytes the session waits for before it needs to hear of them (1: every byte).
  // A port that cannot gather bytes ignores it.
  virtual void SetReceiveThreshold(int /*Count*/) {}
};

}  // namespace hexloader
