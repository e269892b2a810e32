// The component's receive threshold: how many bytes wait before OnRxChar comes.
#include "serial/serial_comm.h"
#include "serial/serial_error.h"
#include "serial/serial_port.h"

namespace hexloader {

void TSerialCustomComm::SetReceiveThreshold(int Count) {
  if (!IsOpen() || Lost()) return;
  if (const int e = Handle_->SetReceiveThreshold(Count)) PortCallFailed(serial_msg::WriteDcb, e);
}

}  // namespace hexloader
