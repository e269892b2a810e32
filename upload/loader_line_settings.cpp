#include "upload/loader_line_settings.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>

#include "serial/serial_comm.h"
#include "upload/upload_session.h"

namespace hexloader {

void ApplyLoaderLineSettings(TSerialComm& Comm, TSerialBaudrate Rate) {
  Comm.SetDeviceName(UnchosenDeviceName);
  Comm.SetBaudrate(Rate);
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

void ApplyBaudRateSetting(TSerialComm& Comm, const std::string& Text) {
  long Bits = 0;
  std::size_t Used = 0;
  try {
    Bits = std::stol(Text, &Used);
  } catch (const std::exception&) {
    Used = 0;
  }
  if (Text.empty() || Used != Text.size() || Bits <= 0) {
    Comm.SetBaudrate(br19200);
  } else if (const std::optional<TSerialBaudrate> Rate = StandardBaudrate(Bits)) {
    Comm.SetBaudrate(*Rate);
  } else {
    Comm.SetUserBaudrate(static_cast<std::int32_t>(std::min<long>(Bits, INT32_MAX)));
    Comm.SetBaudrate(brUser);
  }
}

std::optional<TSerialBaudrate> StandardBaudrate(long BitsPerSecond) {
  struct TRate {
    long Bits;
    TSerialBaudrate Value;
  };
  static constexpr TRate kRates[] = {{110, br110},       {300, br300},       {600, br600},      {1200, br1200},
                                     {2400, br2400},     {4800, br4800},     {9600, br9600},    {14400, br14400},
                                     {19200, br19200},   {38400, br38400},   {56000, br56000},  {57600, br57600},
                                     {115200, br115200}, {128000, br128000}, {256000, br256000}};
  for (const TRate& R : kRates)
    if (R.Bits == BitsPerSecond) return R.Value;
  return std::nullopt;
}

}  // namespace hexloader
