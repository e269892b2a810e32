#pragma once
// The loader's serial line: 19200 bit/s, 8 data bits, no parity, 1 stop bit, every flow control off,
// DTR and RTS held off, and no port chosen yet (DeviceName "COM%d"). The window and the command-line
// tool configure their serial component with this before choosing a port.
#include <optional>

#include "serial/serial_types.h"

namespace hexloader {

class TSerialComm;

// Rate: 19200 for every existing device; a faster one only where the device program was built for it.
void ApplyLoaderLineSettings(TSerialComm& Comm, TSerialBaudrate Rate = br19200);

// The component's standard rate of this many bit/s; none for any other number.
std::optional<TSerialBaudrate> StandardBaudrate(long BitsPerSecond);

}  // namespace hexloader
