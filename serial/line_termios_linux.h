#pragma once
// Pure translation of the component's line settings into Linux terms; applying them is
// serial_port_linux.cpp's job.
#include "serial/kernel_termios_linux.h"
#include "serial/line_settings.h"

namespace hexloader {

// Turns Settings into Termios (which holds the device's current settings on entry): raw mode, bit rate
// (standard rates by their code, any other through BOTHER), data bits, parity including mark and space,
// stop bits, CTS/RTS and XON/XOFF flow control and the XON/XOFF characters. Returns 0, or EINVAL for a
// value Linux cannot express (a bit rate of 0 or less, 4 data bits, an unknown code); Termios is then
// unspecified. Items without a Linux equivalent (DSR flow and sensitivity, error and event characters,
// NUL stripping, flow limits, TxContinueOnXoff) are left out.
int TranslateLineSettings(const TSerialLineSettings& Settings, TKernelTermios& Termios);

// The modem lines that Settings drives by hand: TIOCM_* bits to set and to clear.
struct TModemLines {
  int Set = 0;
  int Clear = 0;
};
TModemLines ModemLinesFor(const TSerialLineSettings& Settings);

}  // namespace hexloader
