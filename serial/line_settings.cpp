#include "serial/line_settings.h"

#include "serial/serial_comm.h"

namespace hexloader {

std::int32_t BaudrateBits(TSerialBaudrate Baudrate, std::int32_t UserBaudrate) {
  static constexpr std::int32_t rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                           14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
  if (Baudrate == brUser) return UserBaudrate;
  const int i = static_cast<int>(Baudrate);
  return i > 0 && i < static_cast<int>(std::size(rates)) ? rates[i] : 0;
}

std::uint32_t TSerialLineSettings::FlagWord() const {
  std::uint32_t w = 0;
  if (Binary) w |= 0x0001;
  if (ParityCheck) w |= 0x0002;
  if (OutxCtsFlow) w |= 0x0004;
  if (OutxDsrFlow) w |= 0x0008;
  w |= (static_cast<std::uint32_t>(DtrControl) & 3u) << 4;
  if (DsrSensitivity) w |= 0x0040;
  if (TxContinueOnXoff) w |= 0x0080;
  if (OutX) w |= 0x0100;
  if (InX) w |= 0x0200;
  if (ErrorCharOn) w |= 0x0400;
  if (NullStrip) w |= 0x0800;
  w |= (static_cast<std::uint32_t>(RtsControl) & 3u) << 12;
  return w;
}

TSerialLineSettings BuildLineSettings(const TSerialCustomComm& Comm) {
  TSerialLineSettings s;
  const TSerialFlowControl& flow = Comm.FlowControl();
  const TSerialEventChars& chars = Comm.EventChars();
  const TSerialBuffers& buffers = Comm.Buffers();
  s.BaudRate = BaudrateBits(Comm.Baudrate(), Comm.UserBaudrate());
  s.Binary = true;
  s.ParityCheck = Comm.Options().Contains(coParityCheck);
  s.OutxCtsFlow = flow.OutCtsFlow();
  s.OutxDsrFlow = flow.OutDsrFlow();
  s.DtrControl = flow.ControlDtr();
  s.DsrSensitivity = flow.DsrSensitivity();
  s.TxContinueOnXoff = flow.TxContinueOnXoff();
  s.OutX = flow.XonXoffOut();
  s.InX = flow.XonXoffIn();
  s.ErrorCharOn = Comm.Options().Contains(coErrorChar);
  s.NullStrip = Comm.Options().Contains(coNullStrip);
  s.RtsControl = flow.ControlRts();
  s.XonLim = static_cast<std::uint16_t>(buffers.XonLimit() & 0xFFFF);
  s.XoffLim = static_cast<std::uint16_t>(buffers.XoffLimit() & 0xFFFF);
  s.ByteSize = static_cast<std::uint8_t>(4 + static_cast<int>(Comm.Databits()));
  s.Parity = static_cast<std::uint8_t>(Comm.Parity());
  s.StopBits = static_cast<std::uint8_t>(Comm.Stopbits());
  s.XonChar = chars.XonChar();
  s.XoffChar = chars.XoffChar();
  s.ErrorChar = chars.ErrorChar();
  s.EofChar = chars.EofChar();
  s.EvtChar = chars.EventChar();
  return s;
}

}  // namespace hexloader
