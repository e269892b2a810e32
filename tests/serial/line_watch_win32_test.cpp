// The Win32 line-event wait against a scripted driver: which failures count as a lost device, a probe
// the driver does not support, and ending a wait that the driver will not end (Close must not hang).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "serial/comm_verdict_win32.h"
#include "serial/line_watch_win32.h"

namespace hexloader {
namespace {

struct TVerdictCase {
  TCommCall Call;
  int Code;
  TCommVerdict Expected;
};

TEST(CommVerdict, OnlyReadsWritesWaitsAndErrorQueriesCountAsLoss) {
  const TVerdictCase cases[] = {
      {TCommCall::Read, ERROR_DEVICE_REMOVED, TCommVerdict::Lost},
      {TCommCall::Write, ERROR_GEN_FAILURE, TCommVerdict::Lost},
      {TCommCall::Wait, ERROR_OPERATION_ABORTED, TCommVerdict::Lost},
      {TCommCall::ClearError, ERROR_ACCESS_DENIED, TCommVerdict::Lost},
      {TCommCall::Wait, ERROR_INVALID_FUNCTION, TCommVerdict::Lost},
      {TCommCall::Read, ERROR_INVALID_PARAMETER, TCommVerdict::NotLost},
      {TCommCall::Write, ERROR_IO_PENDING, TCommVerdict::NotLost},
      // A clone adapter refusing a rate: the setter's error, the port stays open.
      {TCommCall::SetState, ERROR_GEN_FAILURE, TCommVerdict::NotLost},
      {TCommCall::SetState, ERROR_DEVICE_REMOVED, TCommVerdict::NotLost},
      // Virtual and Bluetooth ports: "not supported" turns the probe off.
      {TCommCall::ModemProbe, ERROR_INVALID_FUNCTION, TCommVerdict::ProbeUnsupported},
      {TCommCall::ModemProbe, ERROR_NOT_SUPPORTED, TCommVerdict::ProbeUnsupported},
      // Any other refusal of the probe is checked with an error query before it counts.
      {TCommCall::ModemProbe, ERROR_DEVICE_REMOVED, TCommVerdict::NotLost},
  };
  for (const TVerdictCase& c : cases)
    EXPECT_EQ(JudgeCommFailure(c.Call, c.Code), c.Expected)
        << "call " << static_cast<int>(c.Call) << " code " << c.Code;
}

// A driver played by the test: each call answers as its function says; a wait left pending completes
// only when the test (or a cleared mask, where the driver honours it) signals its event.
class TScriptedDriver : public TCommWaitCalls {
 public:
  std::function<BOOL(DWORD*, OVERLAPPED*)> OnWait;
  std::function<BOOL()> OnProbe = [] { return TRUE; };
  std::function<BOOL(COMSTAT*)> OnClearError = [](COMSTAT*) { return TRUE; };
  bool MaskEndsWait = true;
  int Probes = 0;
  int Waits = 0;
  OVERLAPPED* Pending = nullptr;

  BOOL WaitCommEvent(HANDLE, DWORD* Mask, OVERLAPPED* Ov) override {
    ++Waits;
    Pending = Ov;
    return OnWait(Mask, Ov);
  }
  BOOL SetCommMask(HANDLE, DWORD Mask) override {
    if (!MaskEndsWait) {
      ::SetLastError(ERROR_DEVICE_REMOVED);
      return FALSE;
    }
    if (Mask == 0 && Pending) Complete(ERROR_SUCCESS);
    return TRUE;
  }
  BOOL GetCommModemStatus(HANDLE, DWORD* Lines) override {
    ++Probes;
    *Lines = 0;
    return OnProbe();
  }
  BOOL ClearCommError(HANDLE, DWORD* Errors, COMSTAT* Stat) override {
    *Errors = 0;
    *Stat = COMSTAT{};
    return OnClearError(Stat);
  }
  BOOL CancelIoEx(HANDLE, OVERLAPPED*) override { return MaskEndsWait; }  // a refusing driver ignores it
  BOOL GetOverlappedResult(HANDLE, OVERLAPPED* Ov, DWORD* Bytes, BOOL) override {
    *Bytes = 0;
    if (Ov->Internal == ERROR_SUCCESS) return TRUE;
    ::SetLastError(static_cast<DWORD>(Ov->Internal));
    return FALSE;
  }
  void Complete(DWORD Error) {
    Pending->Internal = Error;
    ::SetEvent(Pending->hEvent);
    Pending = nullptr;
  }
  // The wait goes pending (ERROR_IO_PENDING), as on an overlapped handle.
  static BOOL GoPending() {
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
};

class LineWatchTest : public ::testing::Test {
 protected:
  void SetUp() override { Wake_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  void TearDown() override { ::CloseHandle(Wake_); }
  std::unique_ptr<TWin32LineWatch> MakeWatch(DWORD ProbeMs = 20) {
    return std::make_unique<TWin32LineWatch>(Driver_, INVALID_HANDLE_VALUE, EV_RXCHAR | EV_ERR, Wake_, Abandoned_,
                                             ProbeMs);
  }
  void WakeAfter(std::chrono::milliseconds Delay) {
    Waker_ = std::thread([this, Delay] {
      std::this_thread::sleep_for(Delay);
      ::SetEvent(Wake_);
    });
  }
  void JoinWaker() {
    if (Waker_.joinable()) Waker_.join();
  }

  TScriptedDriver Driver_;
  HANDLE Wake_ = nullptr;
  std::vector<std::unique_ptr<TCommWaitBlock>> Abandoned_;
  std::thread Waker_;
};

TEST_F(LineWatchTest, AWaitTheDriverWillNotEndStillEndsWithinASecond) {
  Driver_.OnWait = [](DWORD*, OVERLAPPED*) { return TScriptedDriver::GoPending(); };
  Driver_.MaskEndsWait = false;  // SetCommMask refused, the cancel ignored, the wait never completes
  auto watch = MakeWatch(10000);
  WakeAfter(std::chrono::milliseconds(50));
  const auto start = std::chrono::steady_clock::now();
  std::uint32_t occurred = 0;
  EXPECT_EQ(watch->Wait(occurred), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  JoinWaker();
  // The driver may still write into the block: kept, not released.
  EXPECT_EQ(Abandoned_.size(), 1u);
}

TEST_F(LineWatchTest, AWaitEndedByTheClearedMaskIsNotAbandoned) {
  Driver_.OnWait = [](DWORD*, OVERLAPPED*) { return TScriptedDriver::GoPending(); };
  auto watch = MakeWatch(10000);
  WakeAfter(std::chrono::milliseconds(50));
  std::uint32_t occurred = 0;
  EXPECT_EQ(watch->Wait(occurred), 1);
  JoinWaker();
  EXPECT_TRUE(Abandoned_.empty());
}

TEST_F(LineWatchTest, AProbeTheDriverDoesNotSupportIsTurnedOffAndTheLineStaysOpen) {
  Driver_.OnWait = [](DWORD*, OVERLAPPED*) { return TScriptedDriver::GoPending(); };
  Driver_.OnProbe = [] {
    ::SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  };
  auto watch = MakeWatch(20);
  WakeAfter(std::chrono::milliseconds(300));
  std::uint32_t occurred = 0;
  EXPECT_EQ(watch->Wait(occurred), 1);  // woken, not "device gone"
  JoinWaker();
  EXPECT_EQ(Driver_.Probes, 1);
}

TEST_F(LineWatchTest, ARefusedProbeCountsOnlyWhenTheErrorQueryFailsToo) {
  Driver_.OnWait = [](DWORD*, OVERLAPPED*) { return TScriptedDriver::GoPending(); };
  Driver_.OnProbe = [] {
    ::SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  };
  int queries = 0;
  Driver_.OnClearError = [&](COMSTAT*) {
    if (++queries < 3) return TRUE;  // a healthy line twice, then the device is gone
    ::SetLastError(ERROR_DEVICE_REMOVED);
    return FALSE;
  };
  auto watch = MakeWatch(20);
  std::uint32_t occurred = 0;
  EXPECT_EQ(watch->Wait(occurred), ERROR_DEVICE_REMOVED);
  EXPECT_EQ(queries, 3);
}

TEST_F(LineWatchTest, AnAbortNotOursIsClearedAndTriedOnceMore) {
  Driver_.OnWait = [&](DWORD* Mask, OVERLAPPED* Ov) {
    if (Driver_.Waits == 1) {
      Ov->Internal = ERROR_OPERATION_ABORTED;
      ::SetEvent(Ov->hEvent);
      return TScriptedDriver::GoPending();
    }
    *Mask = EV_RXCHAR;
    return TRUE;
  };
  auto watch = MakeWatch(10000);
  std::uint32_t occurred = 0;
  EXPECT_EQ(watch->Wait(occurred), 0);
  EXPECT_EQ(occurred, EV_RXCHAR);
  EXPECT_EQ(Driver_.Waits, 2);
}

TEST_F(LineWatchTest, BytesThatCameWhileTheMaskWasClearedAreAnnounced) {
  Driver_.OnWait = [](DWORD*, OVERLAPPED*) { return TScriptedDriver::GoPending(); };
  auto watch = MakeWatch(10000);
  WakeAfter(std::chrono::milliseconds(20));
  std::uint32_t occurred = 0;
  ASSERT_EQ(watch->Wait(occurred), 1);
  JoinWaker();
  ::ResetEvent(Wake_);
  Driver_.OnClearError = [](COMSTAT* Stat) {
    Stat->cbInQue = 3;
    return TRUE;
  };
  EXPECT_EQ(watch->Wait(occurred), 0);
  EXPECT_EQ(occurred, EV_RXCHAR);
}

// The receive threshold: arrivals below it wake only the watch, which hands over once they are all
// there, or once the line has gone quiet with fewer (a short reply), or at once at threshold 1.
struct TGatherCase {
  const char* Name;
  int Threshold;
  std::vector<DWORD> QueueAtEachLook;  // cbInQue the driver reports, one look after another
  bool LineStops;                      // after the last arrival no wait completes again
  int Waits;                           // WaitCommEvent calls until the hand-over
};

TEST_F(LineWatchTest, GathersArrivalsUpToTheThresholdOrAQuietLine) {
  const TGatherCase cases[] = {
      {"whole exchange in pieces", 132, {1, 40, 131, 132}, false, 4},
      {"all at the first arrival", 132, {132}, false, 1},
      {"wrong reply alone, then quiet", 132, {1}, true, 2},
      {"echo without reply, then quiet", 4, {3}, true, 2},
      {"threshold 1: every arrival", 1, {1}, false, 1},
  };
  for (const TGatherCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScriptedDriver driver;
    TReceiveGathering gathering;
    gathering.Threshold = c.Threshold;
    std::size_t look = 0;
    driver.OnWait = [&](DWORD* Mask, OVERLAPPED*) {
      if (c.LineStops && driver.Waits > static_cast<int>(c.QueueAtEachLook.size())) return TScriptedDriver::GoPending();
      *Mask = EV_RXCHAR;
      return TRUE;
    };
    driver.OnClearError = [&](COMSTAT* Stat) {
      Stat->cbInQue = c.QueueAtEachLook[std::min(look, c.QueueAtEachLook.size() - 1)];
      ++look;
      return TRUE;
    };
    TWin32LineWatch watch(driver, INVALID_HANDLE_VALUE, EV_RXCHAR | EV_ERR, Wake_, Abandoned_, 10000, &gathering);
    const auto start = std::chrono::steady_clock::now();
    std::uint32_t occurred = 0;
    EXPECT_EQ(watch.Wait(occurred), 0);
    EXPECT_EQ(occurred, static_cast<std::uint32_t>(EV_RXCHAR));
    EXPECT_EQ(driver.Waits, c.Waits);
    const auto took = std::chrono::steady_clock::now() - start;
    if (c.LineStops) {
      EXPECT_GE(took, std::chrono::milliseconds(TReceivePacer::QuietMs - 2));
    }
    EXPECT_LT(took, std::chrono::milliseconds(500));
  }
}

}  // namespace
}  // namespace hexloader
