// Moving bytes through an open component and firing its line-event handlers.
#include <cerrno>

#include "core/exception_display.h"
#include "serial/serial_comm.h"
#include "serial/serial_port.h"
#include "serial/serial_threads.h"

namespace hexloader {

int TSerialCustomComm::WriteBuf(const void* Buf, int Count) {
  if (!IsOpen() || Lost()) return 0;
  if (!DirectWrite_) {
    if (Count < 0) return 0;
    if (!WriteThread_->Enqueue(Buf, Count, static_cast<std::uint32_t>(Buffers_->WriteTimeout())))
      throw ESerialCommError(serial_msg::OutputFull);
    return Count;
  }
  std::lock_guard<std::mutex> guard(WriteLock_);
  int written = 0;
  // The write has ended when this returns (nothing completes into Buf later); bytes already handed to
  // the driver are counted even when the time-out ends the rest.
  const int e = Handle_->Write(Buf, Count, static_cast<std::uint32_t>(Buffers_->ReadTimeout()), written);
  if (e != 0 && written == 0) PortCallFailed(serial_msg::WriteError, e);
  return written;
}

int TSerialCustomComm::ReadBuf(void* Buf, int Count) {
  if (!IsOpen() || Lost()) return 0;
  std::lock_guard<std::mutex> guard(ReadLock_);
  int read = 0;
  const int e = Handle_->Read(Buf, Count, static_cast<std::uint32_t>(Buffers_->ReadTimeout()), ReadIntervalMs, read);
  // Bytes already taken from the driver are returned, never dropped, even when a later read failed.
  if (e != 0 && read == 0) PortCallFailed(serial_msg::ReadError, e);
  return read;
}

void TSerialCustomComm::GetCommStatus(TSerialCommStatus& Status) {
  std::lock_guard<std::mutex> guard(ReadLock_);
  Status = TSerialCommStatus{};
  if (!IsOpen() || Lost()) return;
  if (const int e = Handle_->GetStatus(Status)) {
    Status = TSerialCommStatus{};
    PortCallFailed(serial_msg::Statistics, e);
  }
}

int TSerialCustomComm::InQueueCount() {
  if (!IsOpen() || Lost()) return 0;
  // The status query of GetCommStatus (it also clears the line error flags), less the output queue
  // count: this runs once per received batch, and nothing here reads that count.
  std::lock_guard<std::mutex> guard(ReadLock_);
  if (!IsOpen() || Lost()) return 0;
  TSerialCommStatus status;
  if (const int e = Handle_->GetStatus(status, false)) {
    PortCallFailed(serial_msg::Statistics, e);  // raises, unless the device is gone
    return 0;
  }
  return static_cast<int>(status.cbInQue);
}

bool TSerialCustomComm::CheckLineErrors() {
  TSerialCommStatus status;
  GetCommStatus(status);
  if (status.Errors == 0) return false;
  if (OnError_) {
    try {
      OnError_(*this, static_cast<int>(status.Errors));
    } catch (...) {
      ShowException(std::current_exception());
    }
  }
  return true;
}

void TSerialCustomComm::DoRxChar() {
  const int count = InQueueCount();
  if (count <= 0) return;
  if (OnRxChar_) OnRxChar_(*this, count);
}

void TSerialCustomComm::DispatchEvents(std::uint32_t Mask) {
  const auto fire = [this](const TNotifyEvent& Handler) {
    if (Handler) Handler(*this);
  };
  if (Mask & EV_ERR) CheckLineErrors();
  if (Mask & EV_RXFLAG) fire(OnRxFlag_);
  if (Mask & EV_CTS) fire(OnCts_);
  if (Mask & EV_DSR) fire(OnDsr_);
  if (Mask & EV_RING) fire(OnRing_);
  if (Mask & EV_RLSD) fire(OnRlsd_);
  if (Mask & EV_TXEMPTY) fire(OnTxEmpty_);
  if (Mask & EV_BREAK) fire(OnBreak_);
  if (Mask & EV_PERR) fire(OnPErr_);
  if (Mask & EV_RX80FULL) fire(OnRx80Full_);
  if (Mask & EV_EVENT1) fire(OnEvent1_);
  if (Mask & EV_EVENT2) fire(OnEvent2_);
}

void TSerialCustomComm::DispatchLineEvents(const std::shared_ptr<TSerialDispatchGate>& Gate, std::uint32_t Mask) {
  // The caller (the hand-over) catches and shows whatever escapes; the rest of the batch is skipped.
  TSerialCustomComm& comm = *Gate->Comm;
  if (comm.Display_) comm.Display_->SerialStatusChanged(comm);
  if (Mask & EV_RXCHAR) {
    comm.DoRxChar();
    Mask &= ~EV_RXCHAR;
    // The handler may have closed or destroyed the component.
    if (!Gate->Comm) return;
  }
  if (Mask != 0) comm.DispatchEvents(Mask);
}

}  // namespace hexloader
