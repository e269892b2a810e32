#pragma once
// One port of a command-line upload run: its serial component, its session and what it shows, and the
// record of every upload through it. All of it runs on the user-interface thread (the event loop of
// the run); one job's failure never touches another job.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/serial_types.h"

#include "tools/cli/upload_record.h"
#include "upload/progress_line.h"

namespace hexloader {
class TSerialComm;
class TSerialCommPort;
class TUploadSession;
}  // namespace hexloader

namespace hexloader::cli {

class TImageSnapshot;
class TJobView;

struct TJobSettings {
  std::string Port;     // as given: a path or a bare name
  std::string HexFile;  // as given, for the record
  const TImageSnapshot* Image = nullptr;
  long HelloTimeoutSeconds = 0;  // without Repeat: give up when no hello came within this; 0: never
  int ReplyTimeoutMs = 0;        // each frame's wait for its reply once the transfer has begun
  bool Repeat = false;           // after an upload ends, wait for the next device's hello
  TSerialBaudrate Baudrate = br19200;
};

enum class TJobState {
  AwaitHello,  // the session waits for the device's 0x55 ("Включи питание")
  Transfer,    // frames are going out
  Settling,    // after a failed upload: waiting for the line to fall quiet before the next hello
  Stopped,     // no more uploads through this port
};

class TUploadJob {
 public:
  using TClock = std::chrono::steady_clock;
  // Called when an upload has ended, well or not, with its record.
  using TOnUploadEnd = std::function<void(TUploadJob& Job, const TUploadRecord& Record)>;
  // Called for what a plain log shows: the prompt, progress at each quarter, the end of an upload.
  using TOnNotice = std::function<void(TUploadJob& Job, const std::string& Text, bool Failure)>;

  TUploadJob(TJobSettings Settings, TOnUploadEnd OnUploadEnd, TOnNotice OnNotice);
  ~TUploadJob();
  TUploadJob(const TUploadJob&) = delete;
  TUploadJob& operator=(const TUploadJob&) = delete;

  // Opens the port and arms the first session. A port that cannot be opened ends as a port error.
  void Begin();
  // Time passes: the wait for the hello, the reply time-out's end, the quiet line after a failure.
  void Tick(TClock::time_point Now);
  // The message the serial component shows after it closed itself because its device went away:
  // true when this job's port was that one (the upload then ends as a port error with it).
  bool TakeLossMessage(const std::string& Message);
  // First stop request: no new upload starts; an upload in progress goes on to its end.
  void StopAfterUpload();
  // Later request: an upload in progress is abandoned (recorded as interrupted).
  void Abandon();
  // No more uploads will run through this port.
  bool Stopped() const { return State_ == TJobState::Stopped; }
  // The frame sent last has left the line: its echo has come back (or the port is closed). The port
  // is closed only then, so no half-sent frame is cut off.
  bool FrameInFlightLeft() const;
  // The job's serial component, for closing all ports of a run together.
  TSerialComm& Comm() { return *Comm_; }

  const std::string& Port() const { return Settings_.Port; }
  TJobState State() const { return State_; }
  TProgressSnapshot Progress() const;
  int Good() const { return Good_; }
  int Failed() const { return Failed_; }
  // The exit status of the first failed upload (1, 2 or 3); 0 while none failed.
  int FirstFailureStatus() const { return FirstFailureStatus_; }
  // The last upload's result, message and seconds (for the summary); HasResult false before the first.
  bool HasResult() const { return HasResult_; }
  TUploadResult LastResult() const { return LastResult_; }
  const std::string& LastMessage() const { return LastMessage_; }
  double LastSeconds() const { return LastSeconds_; }

  // The view calls these (the session's share of the window's indicators).
  void OnTransferBegan();
  void OnFrameBuilt();

 private:
  void OnRxChar(int Count);
  void OnDeviceLost();
  // Ends the upload as the session's outcome says, once the session has ended it.
  void CheckOutcome();
  void Arm();
  void EndUpload(TUploadResult Result, const std::string& Message);
  void AfterUpload(TUploadResult Result);
  void Drain(int Count);
  // The port is closed or its status query fails: ends the upload as a port error.
  bool LineFailed();

  TJobSettings Settings_;
  TOnUploadEnd OnUploadEnd_;
  TOnNotice OnNotice_;
  std::unique_ptr<TSerialComm> Comm_;
  std::unique_ptr<TSerialCommPort> CommPort_;
  std::unique_ptr<TJobView> View_;
  std::unique_ptr<TUploadSession> Session_;

  TJobState State_ = TJobState::AwaitHello;
  bool StopRequested_ = false;
  TClock::time_point LastHeard_{};
  TClock::time_point ArmedAt_{};
  TClock::time_point TransferBegan_{};
  TClock::time_point TransferEnded_{};
  std::chrono::system_clock::time_point UploadTime_{};
  int FramesSent_ = 0;
  int DrainedSinceEnd_ = 0;
  bool LineGone_ = false;        // the line failed: nothing sent on it will come back
  bool LossPending_ = false;     // the port closed itself for a lost device; its message is on its way
  TClock::time_point LostAt_{};  // bytes taken from the line by the job itself since the last upload ended
  int LastQuarter_ = 0;
  int Good_ = 0;
  int Failed_ = 0;
  int FirstFailureStatus_ = 0;
  bool HasResult_ = false;
  TUploadResult LastResult_ = TUploadResult::Ok;
  std::string LastMessage_;
  double LastSeconds_ = 0;
};

// The exit status of a failed upload's result: 1 port error or interrupted, 2 reply error, 3 silent.
int ExitStatusOf(TUploadResult Result);

}  // namespace hexloader::cli
