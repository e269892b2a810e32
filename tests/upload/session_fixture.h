#pragma once
// A session over a real pseudo-terminal whose far end the test plays itself: it reads the frames the
// session writes and answers them, delivering echo and reply in the pieces a case asks for.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/ui_timer.h"
#include "tests/upload/pty_session_port.h"
#include "tests/upload/recording_view.h"
#include "upload/upload_session.h"

namespace hexloader::test {

// How the far end hands the echo and the reply of one frame to the session.
enum class TDelivery {
  Together,       // echo and reply in one piece, one notification
  EchoThenReply,  // the whole echo, then the reply in a notification of its own
  Spread,         // the echo in several notifications, the last one carrying the reply as well
};

inline std::vector<std::uint8_t> PatternImage(std::size_t Size) {
  std::vector<std::uint8_t> Image(Size);
  std::uint32_t X = 0x12345678u ^ static_cast<std::uint32_t>(Size);
  for (auto& B : Image) {
    X = X * 1103515245u + 12345u;
    B = static_cast<std::uint8_t>(X >> 16);
  }
  return Image;
}

inline std::uint8_t SumOf(const std::vector<std::uint8_t>& Frame) {
  unsigned Sum = 0;
  for (std::size_t i = 3; i < Frame.size(); ++i) Sum += Frame[i];
  return static_cast<std::uint8_t>(Sum);
}

// A reply timer that runs out only when the test says so.
class TManualTimer : public TUiTimer {
 public:
  void Start(std::chrono::milliseconds, std::function<void()> Call) override {
    Call_ = std::move(Call);
    Armed_ = true;
  }
  void Stop() override { Armed_ = false; }
  bool Active() const override { return Armed_; }
  // The time is up: runs the call, as the user-interface loop would.
  void Fire() {
    ASSERT_TRUE(Armed_) << "the timer was not armed";
    Armed_ = false;
    std::function<void()> Call = Call_;
    Call();
  }

 private:
  std::function<void()> Call_;
  bool Armed_ = false;
};

class TTempDir {
 public:
  TTempDir() {
    char Pattern[] = "/tmp/hexloader-upload-XXXXXX";
    Path_ = ::mkdtemp(Pattern);
  }
  ~TTempDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(Path_, Ignored);
  }
  std::string File(const std::string& Name) const { return Path_ + "/" + Name; }
  const std::string& Path() const { return Path_; }

 private:
  std::string Path_;
};

inline void WriteFile(const std::string& Path, const std::vector<std::uint8_t>& Bytes) {
  std::ofstream(Path, std::ios::binary)
      .write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(In), {});
}

struct TPtyPair {
  TPtyPair() {
    int Slave = -1;
    if (::openpty(&Master, &Slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    termios T{};
    ::tcgetattr(Slave, &T);
    ::cfmakeraw(&T);
    ::tcsetattr(Slave, TCSANOW, &T);
    Path = ::ttyname(Slave);
    SlaveKeep = Slave;  // held so the line stays up while the port is reopened
  }
  ~TPtyPair() {
    ::close(Master);
    ::close(SlaveKeep);
  }
  int Master = -1;
  int SlaveKeep = -1;
  std::string Path;
};

class SessionOverPty : public ::testing::Test {
 protected:
  SessionOverPty() : Port(Pty.Path), Session(Port, View, [this](const std::string&) { return Prepare(); }) {
    Port.SetDeviceName(Pty.Path);
    Session.SetHexFileName(Dir.File("firmware.hex"));
  }

  virtual std::string Prepare() {
    ++Prepared;
    return ImagePath;
  }

  void UseImage(const std::vector<std::uint8_t>& Image) {
    ImagePath = Dir.File("firmware.BIN");
    WriteFile(ImagePath, Image);
  }

  // The far end sends Bytes; the session takes them, in notifications of at most Piece bytes.
  void Send(const std::vector<std::uint8_t>& Bytes) {
    WriteAll(Pty.Master, Bytes);
    Expected += static_cast<long>(Bytes.size());
    ASSERT_TRUE(Port.PumpUntilRead(Session, Expected)) << "the session did not take what the far end sent";
  }

  // The far end sends Bytes, which stay waiting in the port until HandOver.
  void Put(const std::vector<std::uint8_t>& Bytes) {
    WriteAll(Pty.Master, Bytes);
    Waiting += static_cast<int>(Bytes.size());
    Expected += static_cast<long>(Bytes.size());
    ASSERT_TRUE(Port.WaitUntilWaiting(Waiting)) << "the bytes did not reach the port";
  }
  void HandOver() {
    ASSERT_TRUE(Port.PumpUntilRead(Session, Expected)) << "the session did not take what waited";
    Waiting = 0;
  }

  // Gives the session a reply timer the test runs out itself.
  TManualTimer& UseManualTimer() {
    auto Timer = std::make_unique<TManualTimer>();
    TManualTimer& Ref = *Timer;
    Session.SetReplyTimer(std::move(Timer));
    return Ref;
  }

  // The next frame the session wrote, read from the far end of the line.
  std::vector<std::uint8_t> NextFrame() {
    std::vector<std::uint8_t> Frame(1);
    EXPECT_TRUE(ReadExactly(Pty.Master, Frame.data(), 1)) << "no frame came";
    const int Len = Frame[0] == frame::DataKind ? frame::DataLen : frame::ShortLen;
    Frame.resize(static_cast<std::size_t>(Len));
    EXPECT_TRUE(ReadExactly(Pty.Master, Frame.data() + 1, Len - 1)) << "the frame was cut short";
    return Frame;
  }

  // Answers Frame with its echo and Reply, delivered as Delivery says.
  void Answer(const std::vector<std::uint8_t>& Echo, std::uint8_t Reply, TDelivery Delivery) {
    switch (Delivery) {
      case TDelivery::Together: {
        std::vector<std::uint8_t> All = Echo;
        All.push_back(Reply);
        Send(All);
        break;
      }
      case TDelivery::EchoThenReply:
        Send(Echo);
        Send({Reply});
        break;
      case TDelivery::Spread: {
        std::size_t Done = 0;
        const std::size_t Step = Echo.size() > 3 ? Echo.size() / 3 : 1;
        while (Echo.size() - Done > Step) {
          Send(std::vector<std::uint8_t>(Echo.begin() + static_cast<long>(Done),
                                         Echo.begin() + static_cast<long>(Done + Step)));
          Done += Step;
        }
        std::vector<std::uint8_t> Last(Echo.begin() + static_cast<long>(Done), Echo.end());
        Last.push_back(Reply);
        Send(Last);
        break;
      }
    }
  }

  static std::uint8_t CorrectReply(const std::vector<std::uint8_t>& Frame) {
    return Frame[0] == frame::DataKind ? SumOf(Frame) : frame::Ack;
  }

  // Plays a well-behaved device for a whole upload and returns the frames it received, described.
  // WrongAt: the frame number (1 = sync) answered wrongly; 0 = none. WrongByte: its answer (-1: the
  // right reply plus one).
  std::vector<std::string> PlayDevice(TDelivery Delivery, int WrongAt = 0, int WrongByte = -1) {
    std::vector<std::string> Seen;
    Send({frame::Hello});
    for (int Number = 1; Number < 2000; ++Number) {
      const std::vector<std::uint8_t> Frame = NextFrame();
      Frames.push_back(Frame);
      Seen.push_back(Describe(Frame));
      if (Frame[0] == frame::EndKind) {
        Send(Frame);  // its echo; no reply
        break;
      }
      std::uint8_t Reply = CorrectReply(Frame);
      if (Number == WrongAt) Reply = static_cast<std::uint8_t>(WrongByte >= 0 ? WrongByte : Reply + 1);
      Answer(Frame, Reply, Delivery);
      if (Number == WrongAt) break;
      if (HasFailure()) break;
    }
    return Seen;
  }

  static std::string Describe(const std::vector<std::uint8_t>& Frame) {
    char Text[32];
    const unsigned Address = (Frame[1] << 8) | Frame[2];
    switch (Frame[0]) {
      case frame::SyncKind: return "sync";
      case frame::AddressKind: std::snprintf(Text, sizeof Text, "addr:%04X", Address); return Text;
      case frame::DataKind: std::snprintf(Text, sizeof Text, "data:%04X", Address); return Text;
      case frame::EndKind: return "end";
    }
    return "bad";
  }

  TTempDir Dir;
  TPtyPair Pty;
  TRecordingView View;
  TPtySessionPort Port;
  TUploadSession Session;
  std::string ImagePath;
  int Prepared = 0;
  long Expected = 0;
  int Waiting = 0;  // bytes put on the line and not yet handed over
  std::vector<std::vector<std::uint8_t>> Frames;
};

}  // namespace hexloader::test
