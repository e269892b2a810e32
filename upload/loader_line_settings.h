#pragma once
// The loader's serial line: 19200 bit/s, 8 data bits, no parity, 1 stop bit, every flow control off,
// DTR and RTS held off, and no port chosen yet (DeviceName "COM%d"). The window and the command-line
// tool configure their serial component with this before choosing a port.
#include <optional>
#include <string>

#include "serial/serial_types.h"

namespace hexloader {

class TSerialComm;

// Rate: 19200 for every existing device; a faster one only where the device program was built for it.
void ApplyLoaderLineSettings(TSerialComm& Comm, TSerialBaudrate Rate = br19200);

// [Upload] BaudRate, read at each Start and never written: absent, empty or not a whole number means
// 19200; a standard rate chooses that rate; any other number is passed on as the component's user rate,
// so that the port itself accepts it or refuses it ("Error writing dcb").
inline constexpr const char* BaudRateKey = "BaudRate";
void ApplyBaudRateSetting(TSerialComm& Comm, const std::string& Text);

// The component's standard rate of this many bit/s; none for any other number.
std::optional<TSerialBaudrate> StandardBaudrate(long BitsPerSecond);

}  // namespace hexloader
