#pragma once
// The serial port component: owns one serial device, holds its configuration as properties, opens and
// closes it, moves bytes and brings line events to the user-interface thread.
//
// Threads: every operation and every handler runs on the user-interface thread (UiDispatcher()),
// except ReadBuf, WriteBuf, GetCommStatus and InQueueCount, which may also be called on another thread
// as long as that call cannot overlap Close. While
// the port is open an event thread (waits for line events) and a write thread (sends queued output) run;
// both hand their work to the user-interface thread and never call a handler themselves. Close stops
// and joins them, so nothing touches the component after Close or its destructor has returned.
// Every failure raises ESerialCommError.
//
// A device that goes away while the port is open (unplugged, hung up, its node removed), seen by
// either thread or by a call on the user-interface thread, is reported once: the component closes
// itself on the user-interface thread (threads joined, OnClose), fires OnDeviceLost, and then raises
// the failure's message to the central exception display. That self-close takes no settle pause on
// the user-interface thread; a later Open of the same port waits out what is left of it. Until then every operation
// acts as on a closed port (no exception, result 0), so nothing more comes from that port until it is opened again.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/serial_error.h"
#include "serial/serial_settings.h"
#include "serial/serial_types.h"

namespace hexloader {

class TSerialPort;
class TUiDispatcher;
class TSerialCommEventThread;
class TSerialCommWriteThread;
struct TSerialDispatchGate;

// Base of the component (the framework component; adds nothing).
class TSerialComponent {
 public:
  virtual ~TSerialComponent() = default;
  // Hook run after a stored description has been applied.
  virtual void Loaded() {}
  // Removal notice: Component is about to be destroyed.
  virtual void Notification(const void* Component) { (void)Component; }
  bool DesignMode() const { return DesignMode_; }
  void SetDesignMode(bool Value) { DesignMode_ = Value; }

 protected:
  TSerialComponent() = default;

 private:
  bool DesignMode_ = false;
};

// All fields and behaviour of the serial component.
class TSerialCustomComm : public TSerialComponent {
 public:
  TSerialCustomComm();
  // Closes the port without OnClose; returns once the I/O threads have ended.
  ~TSerialCustomComm() override;
  TSerialCustomComm(const TSerialCustomComm&) = delete;
  TSerialCustomComm& operator=(const TSerialCustomComm&) = delete;

  // Opens and configures the device, starts the threads, fires OnOpen.
  void Open();
  // Stops the threads, closes the device, fires OnClose, pauses CloseSettleMs. Nothing on a closed port.
  void Close();
  bool IsOpen() const;
  // Closes every open component of Comms as Close does, but with one settle pause for all of them:
  // a program ending with several ports open would otherwise wait the pause once per port. An
  // exception from an OnClose handler is raised after every port has been closed, and no pause follows.
  static void CloseTogether(const std::vector<TSerialCustomComm*>& Comms);
  // DeviceName with its "%d" placeholder replaced by PortNum ("%%" gives "%"). On Linux a path
  // without "/" is opened under /dev.
  std::string GetDevicePath() const;

  void Loaded() override;
  void Notification(const void* Component) override;

  // Sends Count bytes. Queued mode: copies them into the write thread's queue and returns Count at
  // once; waits at most Buffers().WriteTimeout() for room, then raises the full-queue error. Direct
  // mode: writes and waits at most Buffers().ReadTimeout(); returns the bytes written. 0 when closed.
  int WriteBuf(const void* Buf, int Count);
  // Reads up to Count bytes: waits at most Buffers().ReadTimeout() for the first byte, then takes what
  // follows without a gap longer than ReadIntervalMs. Returns the bytes read; 0 when closed or when
  // nothing came in time.
  int ReadBuf(void* Buf, int Count);
  // Line status; all zero on a closed port. Clears the accumulated error flags.
  void GetCommStatus(TSerialCommStatus& Status);
  // Bytes waiting in the input queue; 0 on a closed port.
  int InQueueCount();
  // OnRxChar comes once Count bytes wait, or once the line has gone quiet with fewer waiting, instead
  // of for every arrival: the event thread gathers them (receive_pacer.h). Each Open starts at 1
  // (every arrival at once). Nothing on a closed port.
  void SetReceiveThreshold(int Count);

  static constexpr int CloseSettleMs = 300;
  static constexpr int ReadIntervalMs = 5;

  // --- properties ---
  bool AutoOpen() const { return AutoOpen_; }
  void SetAutoOpen(bool Value) { AutoOpen_ = Value; }
  std::int32_t PortNum() const { return PortNum_; }
  void SetPortNum(std::int32_t Value);
  const std::string& DeviceName() const { return DeviceName_; }
  void SetDeviceName(const std::string& Value);
  TSerialCommEvents MonitorEvents() const { return MonitorEvents_; }
  void SetMonitorEvents(TSerialCommEvents Value);
  TSerialBuffers& Buffers() { return *Buffers_; }
  const TSerialBuffers& Buffers() const { return *Buffers_; }
  void SetBuffers(const TSerialBuffers& Value);
  // Thread priorities: a change while open goes to the running thread at once; one the process may not
  // make (an ordinary user raising it) leaves the thread and the property as they were.
  TThreadPriority EventPriority() const { return EventPriority_; }
  void SetEventPriority(TThreadPriority Value);
  TThreadPriority WritePriority() const { return WritePriority_; }
  void SetWritePriority(TThreadPriority Value);
  bool DirectWrite() const { return DirectWrite_; }
  void SetDirectWrite(bool Value);
  TSerialBaudrate Baudrate() const { return Baudrate_; }
  void SetBaudrate(TSerialBaudrate Value);
  TSerialParity Parity() const { return Parity_; }
  void SetParity(TSerialParity Value);
  TSerialDatabits Databits() const { return Databits_; }
  void SetDatabits(TSerialDatabits Value);
  TSerialStopbits Stopbits() const { return Stopbits_; }
  void SetStopbits(TSerialStopbits Value);
  TSerialCommOptions Options() const { return Options_; }
  void SetOptions(TSerialCommOptions Value);
  TSerialFlowControl& FlowControl() { return *FlowControl_; }
  const TSerialFlowControl& FlowControl() const { return *FlowControl_; }
  void SetFlowControl(const TSerialFlowControl& Value);
  TSerialEventChars& EventChars() { return *EventChars_; }
  const TSerialEventChars& EventChars() const { return *EventChars_; }
  void SetEventChars(const TSerialEventChars& Value);
  bool UpdateDCB() const { return UpdateDCB_; }
  void SetUpdateDCB(bool Value);
  std::int32_t UserBaudrate() const { return UserBaudrate_; }
  void SetUserBaudrate(std::int32_t Value);
  TSerialDisplay* Display() const { return Display_; }
  // Cleared by itself when that control is destroyed.
  void SetDisplay(TSerialDisplay* Value);

  // --- events ---
  void SetOnOpen(TNotifyEvent Handler) { OnOpen_ = std::move(Handler); }
  void SetOnClose(TNotifyEvent Handler) { OnClose_ = std::move(Handler); }
  void SetOnCts(TNotifyEvent Handler) { OnCts_ = std::move(Handler); }
  void SetOnDsr(TNotifyEvent Handler) { OnDsr_ = std::move(Handler); }
  void SetOnRlsd(TNotifyEvent Handler) { OnRlsd_ = std::move(Handler); }
  void SetOnRing(TNotifyEvent Handler) { OnRing_ = std::move(Handler); }
  void SetOnBreak(TNotifyEvent Handler) { OnBreak_ = std::move(Handler); }
  void SetOnError(TSerialCommErrorEvent Handler) { OnError_ = std::move(Handler); }
  void SetOnRxChar(TSerialCommRxCharEvent Handler) { OnRxChar_ = std::move(Handler); }
  void SetOnRxBuf(TSerialCommRxBufEvent Handler) { OnRxBuf_ = std::move(Handler); }
  void SetOnRxFlag(TNotifyEvent Handler) { OnRxFlag_ = std::move(Handler); }
  void SetOnTxEmpty(TNotifyEvent Handler);
  void SetOnPErr(TNotifyEvent Handler) { OnPErr_ = std::move(Handler); }
  void SetOnRx80Full(TNotifyEvent Handler) { OnRx80Full_ = std::move(Handler); }
  void SetOnEvent1(TNotifyEvent Handler) { OnEvent1_ = std::move(Handler); }
  void SetOnEvent2(TNotifyEvent Handler) { OnEvent2_ = std::move(Handler); }
  // After the component closed itself because its device went away (OnClose has run already).
  void SetOnDeviceLost(TNotifyEvent Handler) { OnDeviceLost_ = std::move(Handler); }
  const TNotifyEvent& OnOpen() const { return OnOpen_; }
  const TNotifyEvent& OnClose() const { return OnClose_; }
  const TSerialCommRxCharEvent& OnRxChar() const { return OnRxChar_; }
  const TSerialCommErrorEvent& OnError() const { return OnError_; }
  const TNotifyEvent& OnTxEmpty() const { return OnTxEmpty_; }
  const TNotifyEvent& OnDeviceLost() const { return OnDeviceLost_; }

  // The wait mask computed at Open (EV_* bits).
  std::uint32_t EventMask() const { return EventMask_; }

  // The received-characters step of a dispatch: OnRxChar with the bytes waiting now, if any.
  virtual void DoRxChar();
  // Fires the handlers selected by Mask (EV_* bits) in dispatch order; catches nothing.
  virtual void DispatchEvents(std::uint32_t Mask);

 protected:
  virtual void OpenHandle();
  virtual void StartThreads();
  // Line errors: OnError when the flags read are not 0 (its exceptions go to the central display).
  bool CheckLineErrors();

 private:
  friend class TSerialThread;
  friend class TSerialCommEventThread;
  friend class TSerialCommWriteThread;

  void RequestThreadsStop();  // asks both threads to end, without waiting
  void StopThreads();
  void ReleaseHandle();
  void CheckClosed() const;
  void WriteDCB();
  void SetupBuffers();
  void SetTimeouts();
  void SetEventMask();
  void DoOpen();
  void DoClose();
  // Settle false: the pause is not taken now but owed by the next Open (SettleUntil_).
  void CloseInternal(bool FireOnClose, bool Settle = true);
  void BuffersChanged();
  void EventCharsChanged();
  void FlowControlChanged();
  // The user-interface side of one completed wait of the event thread (Gate->Comm is set).
  static void DispatchLineEvents(const std::shared_ptr<TSerialDispatchGate>& Gate, std::uint32_t Mask);
  // Any thread: the device of Gate's port is gone, as a call failing with Code showed. The first
  // report queues the self-close on the user-interface thread; later ones do nothing.
  static void ReportDeviceLost(TUiDispatcher& Dispatcher, const std::shared_ptr<TSerialDispatchGate>& Gate,
                               const char* Pattern, int Code);
  // A platform call on the user-interface thread failed with Code: raises Pattern's message, unless
  // the device is gone, which is reported as above (the caller then acts as on a closed port).
  void PortCallFailed(const char* Pattern, int Code);
  bool Lost() const;
  // The self-close, on the user-interface thread: Close, OnDeviceLost, then Message to the display.
  void CloseLost(const std::string& Message);

  std::unique_ptr<TSerialPort> Handle_;
  std::mutex WriteLock_;
  std::mutex ReadLock_;
  std::unique_ptr<TSerialCommEventThread> EventThread_;
  std::unique_ptr<TSerialCommWriteThread> WriteThread_;
  // Shared with dispatches queued on the user-interface thread, which may run after Close.
  std::shared_ptr<TSerialDispatchGate> Gate_;
  std::uint32_t EventMask_ = 0;
  bool Destroying_ = false;
  // A port that closed itself for a lost device skips the settle pause (it would stall every other
  // port on the shared thread); an Open before this time waits out the rest of it.
  std::chrono::steady_clock::time_point SettleUntil_{};

  bool AutoOpen_ = false;
  std::int32_t PortNum_ = 0;
  std::string DeviceName_ = "COM%d";
  TSerialCommEvents MonitorEvents_{ceError, ceRxChar, ceTxEmpty};
  std::unique_ptr<TSerialBuffers> Buffers_;
  TThreadPriority EventPriority_ = tpNormal;
  TThreadPriority WritePriority_ = tpHighest;
  bool DirectWrite_ = false;
  TSerialBaudrate Baudrate_ = br1200;
  TSerialParity Parity_ = paNone;
  TSerialDatabits Databits_ = db8;
  TSerialStopbits Stopbits_ = sb1;
  TSerialCommOptions Options_;
  std::unique_ptr<TSerialFlowControl> FlowControl_;
  std::unique_ptr<TSerialEventChars> EventChars_;
  bool UpdateDCB_ = true;
  std::int32_t UserBaudrate_ = 0;
  TNotifyEvent OnOpen_, OnClose_, OnCts_, OnDsr_, OnRlsd_, OnRing_, OnBreak_;
  TSerialCommErrorEvent OnError_;
  TSerialCommRxCharEvent OnRxChar_;
  TSerialCommRxBufEvent OnRxBuf_;
  TNotifyEvent OnRxFlag_, OnTxEmpty_, OnPErr_, OnRx80Full_, OnEvent1_, OnEvent2_;
  TNotifyEvent OnDeviceLost_;
  TSerialDisplay* Display_ = nullptr;
};

// The component with its properties and events published.
class TSerialComm : public TSerialCustomComm {
 public:
  TSerialComm() = default;
};

}  // namespace hexloader
