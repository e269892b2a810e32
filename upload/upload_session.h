#pragma once
// The upload session: sends the binary image to the device one frame at a time and checks the device's
// one-byte reply after each. It runs entirely on the user-interface thread: Start prepares a session,
// and from then on only OnRxChar drives it: each reply that arrives makes it build and send the next
// frame from inside that call. Once the device has said hello, every frame sent must be answered within
// the reply time-out (a timer on the user-interface thread, given with SetReplyTimer); a device that
// falls silent ends the session as failed with "Устройство не отвечает". The wait for the hello itself
// has no limit.
//
// The line returns every byte sent (an echo) before the device's reply: after each frame the session
// drops as many received bytes as the frame was long and takes the next byte as the reply.
//
// Frames (bytes in the order they go on the line):
//   sync     55 33 CC                          3 bytes, reply AA
//   address  11 AddrHi AddrLo                  3 bytes, reply AA
//   data     22 AddrHi AddrLo + 128 data bytes 131 bytes, reply = sum of the 128 data bytes mod 256
//   end      99 00 00                          3 bytes, no reply checked
// The exchange: device 55; sync; AA; address 0000; AA; data frames 1..4 each answered by its checksum;
// an address frame before data frames 5, 9, 13, ...; after the reply to the last data frame, the end
// frame. A data frame is the last when fewer than 128 image bytes could be read for it.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/ui_timer.h"
#include "upload/session_port.h"
#include "upload/upload_view.h"

namespace hexloader {

// The session's stages.
enum TUploadStage : std::uint8_t {
  Idle = 0,             // no session; every reply byte is ignored
  AwaitHello = 1,       // started; waiting for the 0x55 the device sends when switched on
  AwaitSyncAck = 2,     // sync frame sent; waiting for 0xAA
  AwaitDataAck = 3,     // data frame sent; waiting for its checksum
  AwaitAddressAck = 4,  // address frame sent; waiting for 0xAA
};

// How the last session ended, for callers that wait for it (the command-line tool, tests).
enum class TUploadOutcome {
  None,        // no session ended since the last Start
  Finished,    // the end frame went out
  ReplyError,  // the device answered wrongly ("Ошибка ответа")
  Silent,      // no reply within the reply time-out ("Устройство не отвечает")
  PortError,   // the port's device went away during the session
};

// Protocol constants.
namespace frame {
inline constexpr std::uint8_t Hello = 0x55;     // the device's first byte when switched on
inline constexpr std::uint8_t Ack = 0xAA;       // reply to sync and address frames
inline constexpr std::uint8_t SyncKind = 0x55;  // sync frame: 55 33 CC
inline constexpr std::uint8_t Sync1 = 0x33;
inline constexpr std::uint8_t Sync2 = 0xCC;
inline constexpr std::uint8_t AddressKind = 0x11;
inline constexpr std::uint8_t DataKind = 0x22;
inline constexpr std::uint8_t EndKind = 0x99;
inline constexpr int ShortLen = 3;             // sync, address and end frames
inline constexpr int DataBytes = 128;          // image bytes per data frame
inline constexpr int DataLen = 3 + DataBytes;  // 131
inline constexpr int FramesPerAddress = 4;     // an address frame before data frames 1, 5, 9, ...
inline constexpr int BufferSize = 1024;        // FrameBuf and the receive buffer
// How long a frame may wait for its reply once the transfer has begun. A frame takes under 0.1 s on
// the line at 19200 bit/s; the rest is the device's own time, generous for a slow device.
inline constexpr int DefaultReplyTimeoutMs = 5000;
}  // namespace frame

// The device name of a port not chosen yet: Start does nothing at all while the port has it.
inline constexpr const char* UnchosenDeviceName = "COM%d";

class TUploadSession {
 public:
  // Turns a HEX file into the binary image file and returns the image file's name (HexToBin).
  using TImagePreparer = std::function<std::string(const std::string& HexPath)>;

  // Port and View must outlive the session.
  TUploadSession(TSessionPort& Port, TUploadView& View, TImagePreparer Preparer);
  ~TUploadSession();
  TUploadSession(const TUploadSession&) = delete;
  TUploadSession& operator=(const TUploadSession&) = delete;

  // The image as bytes instead of the file the preparer names: Start then neither converts nor opens a
  // file (the command line keeps one image in memory for every board of its run). Bytes must outlive
  // the session; nullptr goes back to the preparer.
  void SetImageBytes(const std::vector<std::uint8_t>* Bytes) { ImageBytes_ = Bytes; }

  // The full path of the chosen HEX file (the window sets it from its settings and the File command).
  void SetHexFileName(const std::string& Name) { HexFileName_ = Name; }
  const std::string& HexFileName() const { return HexFileName_; }

  // The session's share of the Start command. Nothing at all while the port's DeviceName is still
  // "COM%d". Otherwise converts the HEX file, opens the image, refuses an image of 65,536 bytes or more
  // (EImageTooLarge, before the port is opened), sets the progress total, arms the session for the
  // device's 0x55, opens the port when it is closed and shows the power-on prompt.
  // Raises the converter's exceptions, EFOpenError for an image that cannot be opened, EImageTooLarge
  // and the port's exception; after any failure before the port step the session is Idle.
  void Start();

  // The timer that bounds each wait for a reply (created by the user-interface dispatcher). Without
  // one, replies are awaited for ever.
  void SetReplyTimer(std::unique_ptr<TUiTimer> Timer) { ReplyTimer_ = std::move(Timer); }
  bool HasReplyTimer() const { return ReplyTimer_ != nullptr; }
  // Milliseconds each frame may wait for its reply (not positive: the default); takes effect with the
  // next frame sent.
  void SetReplyTimeoutMs(int Ms) { ReplyTimeoutMs_ = Ms > 0 ? Ms : frame::DefaultReplyTimeoutMs; }
  int ReplyTimeoutMs() const { return ReplyTimeoutMs_; }

  // The port's device went away (the port has closed itself and shown why): a session in progress
  // ends as after a wrong reply, with the power-on prompt hidden, and no message of its own.
  void PortLost();

  // SerialComm1RxChar: Count bytes are waiting at the port. Reads them in pieces of at most 1024 bytes
  // and hands each to RxByte in order. Exceptions of ReadBuf and WriteBuf pass through.
  void OnRxChar(int Count);

  // One received byte: drops the echo of the frame last sent, hands replies to HandleReply.
  void RxByte(std::uint8_t B);

  // Releases the image file (the window's destruction does the same).
  void ReleaseImage();

  // Read access to the session's state.
  TUploadStage Stage() const { return static_cast<TUploadStage>(Stage_); }
  std::uint8_t ExpectedReply() const { return ExpectedReply_; }
  const std::uint8_t* FrameBuf() const { return FrameBuf_; }
  int FrameLen() const { return FrameLen_; }
  int RxSinceSend() const { return RxSinceSend_; }
  std::uint8_t Checksum() const { return Checksum_; }
  std::uint16_t FrameAddr() const { return FrameAddr_; }
  int FrameCount() const { return FrameCount_; }
  bool LastFrame() const { return LastFrame_; }
  bool ImageOpen() const { return ImageStream_ != nullptr || ImageBytesOpen_; }
  // Size in bytes of the image prepared by the last successful Start.
  std::uint64_t ImageSize() const { return ImageSize_; }
  TUploadOutcome Outcome() const { return Outcome_; }

 private:
  std::string PrepareImage(const std::string& HexPath);
  void HandleReply(std::uint8_t B);
  void BeginTransfer();
  void ContinueUpload();
  void NextDataFrame();
  bool BuildDataFrame();
  void BuildAddressFrame();
  void BuildSyncFrame();
  void BuildEndFrame();
  void ComputeChecksum();
  void FinishUpload();
  void ResetAfterError();
  void SendFrame();
  // Tells the port how many bytes the current exchange still brings (the rest of the echo and the
  // reply), so that it wakes the session once per frame instead of once per byte.
  void UpdateReceiveThreshold();
  // The reply time-out ran out: the device has fallen silent.
  void ReplyTimedOut();
  void StopReplyTimer();

  struct TFileCloser {
    void operator()(std::FILE* File) const { std::fclose(File); }
  };

  TSessionPort& Port_;
  TUploadView& View_;
  TImagePreparer Preparer_;

  std::uint8_t Stage_ = Idle;
  std::uint8_t ExpectedReply_ = 0;
  std::uint8_t FrameBuf_[frame::BufferSize] = {};
  int FrameLen_ = 0;
  int RxSinceSend_ = 0;
  std::uint8_t Checksum_ = 0;
  std::uint16_t FrameAddr_ = 0;
  int FrameCount_ = 0;
  bool LastFrame_ = false;
  std::unique_ptr<std::FILE, TFileCloser> ImageStream_;
  const std::vector<std::uint8_t>* ImageBytes_ = nullptr;
  bool ImageBytesOpen_ = false;
  std::size_t ImageBytesRead_ = 0;
  std::string HexFileName_;
  std::uint64_t ImageSize_ = 0;
  TUploadOutcome Outcome_ = TUploadOutcome::None;
  std::unique_ptr<TUiTimer> ReplyTimer_;
  int ReplyTimeoutMs_ = frame::DefaultReplyTimeoutMs;
};

}  // namespace hexloader
