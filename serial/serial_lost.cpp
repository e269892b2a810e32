// A port whose device went away: the decision that it is gone is the platform's (IsDeviceGone); what
// follows is the same on every platform. One report, one self-close on the user-interface thread,
// then silence from that port until it is opened again.
#include <exception>

#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "serial/serial_comm.h"
#include "serial/serial_port.h"
#include "serial/serial_threads.h"

namespace hexloader {

void TSerialCustomComm::ReportDeviceLost(TUiDispatcher& Dispatcher, const std::shared_ptr<TSerialDispatchGate>& Gate,
                                         const char* Pattern, int Code) {
  if (!Gate || Gate->Lost.exchange(true)) return;
  // The text is taken now, on the thread that saw the failure, while Code is still the one it saw.
  std::string message = FormatCommError(Pattern, Code);
  // Queued, never run in place: a thread cannot join itself, and a call on the user-interface
  // thread may be deep inside a handler that still uses the component.
  Dispatcher.Post([Gate, message = std::move(message)] {
    if (Gate->Comm) Gate->Comm->CloseLost(message);
  });
}

bool TSerialCustomComm::Lost() const { return Gate_ && Gate_->Lost.load(); }

void TSerialCustomComm::PortCallFailed(const char* Pattern, int Code) {
  if (Lost()) return;  // reported once already
  if (Gate_ && Handle_ && Handle_->IsDeviceGone(Code)) {
    ReportDeviceLost(UiDispatcher(), Gate_, Pattern, Code);
    return;
  }
  RaiseCommError(Pattern, Code);
}

void TSerialCustomComm::CloseLost(const std::string& Message) {
  try {
    // No pause here: this runs on the thread every other port shares (Open takes it if needed).
    CloseInternal(!Destroying_, false);
    if (OnDeviceLost_) OnDeviceLost_(*this);
  } catch (...) {
    // A handler's own failure is shown as well; the device's message still follows.
    ShowException(std::current_exception());
  }
  throw ESerialCommError(Message);
}

}  // namespace hexloader
