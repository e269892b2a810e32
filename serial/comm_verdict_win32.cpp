#include "serial/comm_verdict_win32.h"

#include <windows.h>

namespace hexloader {

TCommVerdict JudgeCommFailure(TCommCall Call, int Code) {
  switch (Call) {
    case TCommCall::SetState:
      // Clone adapters refuse rates they do not support (ERROR_GEN_FAILURE) on a healthy line.
      return TCommVerdict::NotLost;
    case TCommCall::ModemProbe:
      // "Not supported" from a driver without modem lines; any other refusal is checked with
      // ClearCommError before it counts.
      return Code == ERROR_INVALID_FUNCTION || Code == ERROR_NOT_SUPPORTED ? TCommVerdict::ProbeUnsupported
                                                                           : TCommVerdict::NotLost;
    case TCommCall::Read:
    case TCommCall::Write:
    case TCommCall::Wait:
    case TCommCall::ClearError: break;
  }
  switch (Code) {
    case ERROR_ACCESS_DENIED:  // USB adapters after removal: the open handle refuses every call
    case ERROR_BAD_COMMAND:    // "the device does not recognize the command", after removal
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:  // "the device is no longer available"
    case ERROR_GEN_FAILURE:    // the driver's own failure once its device has gone
    case ERROR_NOT_READY:
    case ERROR_OPERATION_ABORTED:  // a wait or write the driver ended twice (ours end only at Close)
    case ERROR_INVALID_FUNCTION:   // under wine: a pseudo-terminal whose far end went away
      return TCommVerdict::Lost;
    default: return TCommVerdict::NotLost;
  }
}

}  // namespace hexloader
