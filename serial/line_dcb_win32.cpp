#include "serial/line_dcb_win32.h"

namespace hexloader {

void TranslateLineSettings(const TSerialLineSettings& Settings, DCB& Dcb) {
  static constexpr DWORD kDtr[] = {DTR_CONTROL_DISABLE, DTR_CONTROL_ENABLE, DTR_CONTROL_HANDSHAKE};
  static constexpr DWORD kRts[] = {RTS_CONTROL_DISABLE, RTS_CONTROL_ENABLE, RTS_CONTROL_HANDSHAKE, RTS_CONTROL_TOGGLE};
  Dcb.BaudRate = static_cast<DWORD>(Settings.BaudRate);
  Dcb.fBinary = Settings.Binary;
  Dcb.fParity = Settings.ParityCheck;
  Dcb.fOutxCtsFlow = Settings.OutxCtsFlow;
  Dcb.fOutxDsrFlow = Settings.OutxDsrFlow;
  Dcb.fDtrControl = kDtr[Settings.DtrControl];
  Dcb.fDsrSensitivity = Settings.DsrSensitivity;
  Dcb.fTXContinueOnXoff = Settings.TxContinueOnXoff;
  Dcb.fOutX = Settings.OutX;
  Dcb.fInX = Settings.InX;
  Dcb.fErrorChar = Settings.ErrorCharOn;
  Dcb.fNull = Settings.NullStrip;
  Dcb.fRtsControl = kRts[Settings.RtsControl];
  Dcb.fAbortOnError = FALSE;  // an error must not stop every later read and write until cleared
  Dcb.XonLim = Settings.XonLim;
  Dcb.XoffLim = Settings.XoffLim;
  Dcb.ByteSize = Settings.ByteSize;
  Dcb.Parity = Settings.Parity;
  Dcb.StopBits = Settings.StopBits;
  Dcb.XonChar = Settings.XonChar;
  Dcb.XoffChar = Settings.XoffChar;
  Dcb.ErrorChar = Settings.ErrorChar;
  Dcb.EofChar = Settings.EofChar;
  Dcb.EvtChar = Settings.EvtChar;
}

}  // namespace hexloader
