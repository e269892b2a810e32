#pragma once
// The device's line settings as the component computes them from its properties: one plain record
// (the members of the Windows device-control block), built by a pure function and applied by the
// platform layer.
#include <cstdint>

#include "serial/serial_types.h"

namespace hexloader {

class TSerialCustomComm;

struct TSerialLineSettings {
  std::int32_t BaudRate = 0;  // bit/s; 0 or less is refused when applied
  bool Binary = true;
  bool ParityCheck = false;  // coParityCheck
  bool OutxCtsFlow = false;
  bool OutxDsrFlow = false;
  TSerialControlDtr DtrControl = dtrDisabled;
  bool DsrSensitivity = false;
  bool TxContinueOnXoff = false;
  bool OutX = false;
  bool InX = false;
  bool ErrorCharOn = false;  // coErrorChar
  bool NullStrip = false;    // coNullStrip
  TSerialControlRts RtsControl = rtsDisabled;
  std::uint16_t XonLim = 0;   // low 16 bits of XonLimit
  std::uint16_t XoffLim = 0;  // low 16 bits of XoffLimit
  std::uint8_t ByteSize = 8;  // 4..8
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 0, XoffChar = 0, ErrorChar = 0, EofChar = 0, EvtChar = 0;

  // The flag word of the Windows device-control block (0x0001 for binary mode only).
  std::uint32_t FlagWord() const;
  friend bool operator==(const TSerialLineSettings&, const TSerialLineSettings&) = default;
};

// The bit rate of a TSerialBaudrate (UserBaudrate for brUser).
std::int32_t BaudrateBits(TSerialBaudrate Baudrate, std::int32_t UserBaudrate);

TSerialLineSettings BuildLineSettings(const TSerialCustomComm& Comm);

}  // namespace hexloader
