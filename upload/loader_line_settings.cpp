#include "upload/loader_line_settings.h"

#include "serial/serial_comm.h"
#include "upload/upload_session.h"

namespace hexloader {

void ApplyLoaderLineSettings(TSerialComm& Comm) {
  Comm.SetDeviceName(UnchosenDeviceName);
  Comm.SetBaudrate(br19200);
  Comm.SetParity(paNone);
  Comm.SetDatabits(db8);
  Comm.SetStopbits(sb1);
  TSerialFlowControl& Flow = Comm.FlowControl();
  Flow.BeginUpdate();
  Flow.SetOutCtsFlow(false);
  Flow.SetOutDsrFlow(false);
  Flow.SetControlDtr(dtrDisabled);
  Flow.SetControlRts(rtsDisabled);
  Flow.SetXonXoffOut(false);
  Flow.SetXonXoffIn(false);
  Flow.SetDsrSensitivity(false);
  Flow.SetTxContinueOnXoff(false);
  Flow.EndUpdate();
}

}  // namespace hexloader
