#include "upload/loader_line_settings.h"

#include "serial/serial_comm.h"
#include "upload/upload_session.h"

namespace hexloader {

void ApplyLoaderLineSettings(TSerialComm& Comm) {
  Comm.SetDeviceName(UnchosenDeviceName);
  Comm.SetBaudrate(br19200);
  Comm.FlowControl().SetControlDtr(dtrDisabled);
  Comm.FlowControl().SetControlRts(rtsDisabled);
  Comm.FlowControl().SetOutCtsFlow(false);
}

}  // namespace hexloader
