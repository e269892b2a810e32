#pragma once
// The event thread's wait for line events on a COM port (WaitCommEvent), with the Win32 calls it makes
// behind TCommWaitCalls so that a test can play a driver that never ends a wait or refuses a mask.
// Every wait on our own operations is bounded: ending the wait (Close) takes well under a second
// whatever the driver does.
#include <cstdint>
#include <memory>
#include <vector>

#include "serial/comm_api_win32.h"
#include "serial/receive_pacer.h"
#include "serial/serial_port.h"

namespace hexloader {

class TCommWaitCalls {
 public:
  virtual ~TCommWaitCalls() = default;
  virtual BOOL WaitCommEvent(HANDLE Port, DWORD* Mask, OVERLAPPED* Ov) = 0;
  virtual BOOL SetCommMask(HANDLE Port, DWORD Mask) = 0;
  virtual BOOL GetCommModemStatus(HANDLE Port, DWORD* Lines) = 0;
  virtual BOOL ClearCommError(HANDLE Port, DWORD* Errors, COMSTAT* Stat) = 0;
  virtual BOOL CancelIoEx(HANDLE Port, OVERLAPPED* Ov) = 0;
  virtual BOOL GetOverlappedResult(HANDLE Port, OVERLAPPED* Ov, DWORD* Bytes, BOOL Wait) = 0;
};

// The system's own calls.
TCommWaitCalls& SystemCommWaitCalls();

// One WaitCommEvent's control block and the mask it fills: the driver writes to both until the wait
// has ended, so one that would not end is kept (in Abandoned) until the port's handle is closed.
struct TCommWaitBlock {
  OVERLAPPED Ov{};
  DWORD Occurred = 0;
  TCommWaitBlock();
  ~TCommWaitBlock();
  TCommWaitBlock(const TCommWaitBlock&) = delete;
  TCommWaitBlock& operator=(const TCommWaitBlock&) = delete;
};

class TWin32LineWatch : public TSerialLineWatch {
 public:
  static constexpr DWORD kLivenessCheckMs = 1000;
  static constexpr DWORD kEndWaitMs = 200;  // for each step of ending a pending wait

  // Abandoned outlives the watch and is released after the port's handle is closed. Gathering (the
  // port's receive threshold; none: every arrival at once) outlives it as well.
  TWin32LineWatch(TCommWaitCalls& Calls, HANDLE Port, std::uint32_t Mask, HANDLE Wake,
                  std::vector<std::unique_ptr<TCommWaitBlock>>& Abandoned, DWORD LivenessCheckMs = kLivenessCheckMs,
                  const TReceiveGathering* Gathering = nullptr);
  bool Valid() const { return Block_ && Block_->Ov.hEvent != nullptr; }

  int Wait(std::uint32_t& Occurred) override;

 private:
  enum { TimedOut = -1, Completed = 0, Woken = 1 };
  // Starts one WaitCommEvent and waits for it (or the wake object) at most TimeoutMs; 0 with
  // Block_->Occurred set, 1 when woken, TimedOut (the wait ended), or the error of the wait (or of the
  // ClearCommError that confirmed a failed probe).
  int WaitOnce(DWORD TimeoutMs = INFINITE);
  // Received bytes have come and the threshold asks for more: the driver's next arrivals are awaited
  // here, without a hand-over each, until the threshold is reached or the line has been quiet for
  // TReceivePacer::QuietMs. Returns as Wait does; Occurred keeps EV_RXCHAR while bytes wait.
  int Gather(std::uint32_t& Occurred);
  // Ends a pending wait: a cleared mask, then a cancel, each given kEndWaitMs; a wait that still has
  // not ended is left to the driver with its block, and the next wait gets a new one.
  void EndPendingWait();

  TCommWaitCalls& Calls_;
  HANDLE Port_;
  std::uint32_t Mask_;
  HANDLE Wake_;
  std::vector<std::unique_ptr<TCommWaitBlock>>& Abandoned_;
  DWORD LivenessCheckMs_;
  const TReceiveGathering* Gathering_;
  bool Probing_ = true;
  bool MaskCleared_ = false;  // by EndPendingWait: set again before the next wait
  std::unique_ptr<TCommWaitBlock> Block_;
};

}  // namespace hexloader
