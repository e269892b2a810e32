#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "bench/upload/blocking_uploader.h"

namespace hexloader::bench {
namespace {

class TLine {
 public:
  explicit TLine(const std::string& Path) : Fd_(::open(Path.c_str(), O_RDWR | O_NOCTTY)) {
    if (Fd_ < 0) throw std::runtime_error("cannot open " + Path);
    termios T{};
    ::tcgetattr(Fd_, &T);
    ::cfmakeraw(&T);
    ::cfsetspeed(&T, B19200);
    ::tcsetattr(Fd_, TCSANOW, &T);
  }
  ~TLine() { ::close(Fd_); }

  void Write(const std::uint8_t* Bytes, std::size_t Count) {
    while (Count > 0) {
      const ssize_t N = ::write(Fd_, Bytes, Count);
      if (N <= 0) throw std::runtime_error("write failed");
      Bytes += N;
      Count -= static_cast<std::size_t>(N);
    }
  }
  // Reads exactly Count bytes, as many at a time as have arrived.
  void Read(std::uint8_t* Buffer, std::size_t Count) {
    while (Count > 0) {
      pollfd P{Fd_, POLLIN, 0};
      if (::poll(&P, 1, 60000) <= 0) throw std::runtime_error("no answer");
      const ssize_t N = ::read(Fd_, Buffer, Count);
      if (N <= 0) throw std::runtime_error("read failed");
      Buffer += N;
      Count -= static_cast<std::size_t>(N);
    }
  }
  std::uint8_t ReadByte() {
    std::uint8_t B = 0;
    Read(&B, 1);
    return B;
  }
  // Sends a frame, takes its echo and (when one is due) checks the reply.
  void Frame(const std::vector<std::uint8_t>& Bytes, bool CheckReply, std::uint8_t Reply) {
    Write(Bytes.data(), Bytes.size());
    std::uint8_t In[132];
    const std::size_t Count = Bytes.size() + (CheckReply ? 1 : 0);
    Read(In, Count);
    if (CheckReply && In[Count - 1] != Reply) throw std::runtime_error("wrong reply");
  }

 private:
  int Fd_;
};

}  // namespace

double BlockingUpload(const std::string& PortPath, const std::string& ImagePath) {
  std::ifstream In(ImagePath, std::ios::binary);
  const std::vector<std::uint8_t> Image((std::istreambuf_iterator<char>(In)), {});
  TLine Line(PortPath);
  if (Line.ReadByte() != 0x55) throw std::runtime_error("no hello");
  const auto Began = std::chrono::steady_clock::now();
  Line.Frame({0x55, 0x33, 0xCC}, true, 0xAA);
  for (std::size_t k = 0;; ++k) {
    const std::size_t At = k * 128;
    if (k % 4 == 0) Line.Frame({0x11, static_cast<std::uint8_t>(At >> 8), static_cast<std::uint8_t>(At)}, true, 0xAA);
    std::vector<std::uint8_t> Data(131, 0);
    Data[0] = 0x22;
    Data[1] = static_cast<std::uint8_t>(At >> 8);
    Data[2] = static_cast<std::uint8_t>(At);
    const std::size_t N = At < Image.size() ? std::min<std::size_t>(128, Image.size() - At) : 0;
    unsigned Sum = 0;
    for (std::size_t i = 0; i < N; ++i) Sum += Data[3 + i] = Image[At + i];
    Line.Frame(Data, true, static_cast<std::uint8_t>(Sum));
    if (N < 128) break;
  }
  Line.Frame({0x99, 0x00, 0x00}, false, 0);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Began).count();
}

}  // namespace hexloader::bench
