#pragma once
// The pieces that the devices played by a simulator program (--s51, --avr) share on Linux: the
// loader's pseudo-terminal, and non-blocking reads and writes that keep what could not go yet.
#include <cstdint>
#include <string>
#include <vector>

namespace hexloader::sim {

class TFd {
 public:
  explicit TFd(int Fd = -1) : Fd_(Fd) {}
  ~TFd();
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return Fd_; }

 private:
  int Fd_;
};

// A raw pseudo-terminal for the loader: its non-blocking master (close-on-exec) and the slave's path.
// The slave is closed again, so that the master reports when the loader opens and closes the port.
// Raises std::runtime_error with the message.
struct TDevicePty {
  int Master = -1;  // the caller owns it
  std::string Path;
};
TDevicePty OpenDevicePty();

// Writes as much of Pending to Fd as it takes now; keeps the rest. False when Fd is gone.
bool Flush(int Fd, std::vector<std::uint8_t>& Pending);
// Appends what Fd has to Into. False at the end of the input or an error.
bool Drain(int Fd, std::vector<std::uint8_t>& Into);
// No slave side open: the master reports a hang-up.
bool PortOpened(int Master);

}  // namespace hexloader::sim
