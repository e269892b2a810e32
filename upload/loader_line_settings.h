#pragma once
// The loader's serial line: 19200 bit/s, 8 data bits, no parity, 1 stop bit, every flow control off,
// DTR and RTS held off, and no port chosen yet (DeviceName "COM%d"). The window and the command-line
// tool configure their serial component with this before choosing a port.
namespace hexloader {

class TSerialComm;

void ApplyLoaderLineSettings(TSerialComm& Comm);

}  // namespace hexloader
