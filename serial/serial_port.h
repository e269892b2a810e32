#pragma once
// The platform layer under the serial component: one open serial device and the waits on it. Every
// operation returns 0 or the platform error code (errno on Linux, GetLastError on Windows), captured at
// the failing call; the component turns codes into messages. One implementation file per platform
// (serial_port_linux.cpp, serial_port_win32.cpp).
#include <cstdint>
#include <memory>
#include <string>

#include "serial/line_settings.h"
#include "serial/serial_event.h"
#include "serial/serial_types.h"

namespace hexloader {

// Waits for line events on an open port. Owned and used by one thread (the event thread).
class TSerialLineWatch {
 public:
  virtual ~TSerialLineWatch() = default;
  // Blocks until a line event in the mask or the wake object. Returns 0 with the EV_* bits of what
  // happened in Occurred (possibly 0), 1 when woken, or an error code (> 1); a line that was hung up
  // gives the code the port's IsDeviceGone recognises.
  virtual int Wait(std::uint32_t& Occurred) = 0;
};

class TSerialPort {
 public:
  // Opens Path for reading and writing, exclusively (a second opener, in this process or another,
  // fails with EBUSY), only when it exists, without making it the controlling terminal. A path without
  // "/" names a device under /dev. Returns nullptr and sets Error on failure.
  static std::unique_ptr<TSerialPort> Open(const std::string& Path, int& Error);
  // True when Error (from Open) means that no device of that name exists.
  static bool IsMissingDevice(int Error);
  // The device node that Open opens for Path.
  static std::string DevicePath(const std::string& Path);
  ~TSerialPort();  // closes the device
  TSerialPort(const TSerialPort&) = delete;
  TSerialPort& operator=(const TSerialPort&) = delete;

  int ApplyLineSettings(const TSerialLineSettings& Settings);
  // Recommended driver queue sizes (fixed on Linux: stored by the component, nothing to apply).
  int SetupBuffers(std::int32_t InSize, std::int32_t OutSize);
  // The driver's read time-outs (Linux: reads are timed by Read itself).
  int SetTimeouts();
  int SetEventMask(std::uint32_t Mask);
  // The watch reports received data once Count bytes wait, or once the line has been quiet for
  // TReceivePacer::QuietMs with fewer waiting (receive_pacer.h). 1, the default of every Open: at once.
  int SetReceiveThreshold(int Count);

  // Error flags accumulated since the previous call (cleared by it) and the queue counts. Without
  // OutQueue, cbOutQue stays 0 and is not asked for (the received-data path needs only cbInQue).
  int GetStatus(TSerialCommStatus& Status, bool OutQueue = true);

  // Reads up to Count bytes: waits at most TimeoutMs for the first, then takes what follows without a
  // gap longer than IntervalMs; never waits past TimeoutMs in all. Bytes is what was read (also on an
  // error after some bytes).
  int Read(void* Buffer, int Count, std::uint32_t TimeoutMs, int IntervalMs, int& Bytes);
  // Hands the driver as much of Buffer as it takes now, without waiting (EAGAIN when it takes none).
  // On Windows the driver takes a whole write and finishes it later: EAGAIN while it is under way, and
  // the next call (with the same bytes first in Buffer) reports how many it wrote.
  int WriteSome(const void* Buffer, int Count, int& Bytes);
  // Writes Count bytes, waiting at most TimeoutMs for room; Bytes is what was written.
  int Write(const void* Buffer, int Count, std::uint32_t TimeoutMs, int& Bytes);
  // Waits until the driver takes output again, or a write under way ended (0), or Cancel is signaled
  // (1). A wait that itself failed returns its error code (> 1).
  int WaitWritable(const TSerialHandleObject& Cancel);

  // A watch for the events of Mask (EV_* bits); Wake ends its wait. A lowered receive threshold
  // signals Wake too, so a woken watcher that was not asked to stop resets Wake, reports what the
  // wait returned in Occurred (bytes gathered so far) and waits again.
  std::unique_ptr<TSerialLineWatch> Watch(std::uint32_t Mask, const TSerialHandleObject& Wake, int& Error);

  const std::string& Path() const;

  // The platform's verdict on an error code that an operation on this port returned: true when the
  // device behind the port is gone (unplugged, hung up, its node removed), so that nothing on this
  // port can work again until it is opened anew. The component decides what follows.
  bool IsDeviceGone(int Code) const;

 private:
  struct TState;
  explicit TSerialPort(std::unique_ptr<TState> State);
  std::unique_ptr<TState> State_;
};

}  // namespace hexloader
