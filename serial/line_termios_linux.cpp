#include "serial/line_termios_linux.h"

#include <cerrno>
#include <iterator>

namespace hexloader {
namespace {

// Values of TIOCM_DTR and TIOCM_RTS; glibc's copies sit in <sys/ioctl.h>, whose companion headers the
// pure translation stays away from (see kernel_termios_linux.h).
constexpr int kModemDtr = 0x002;
constexpr int kModemRts = 0x004;

struct TRateCode {
  int Rate;
  unsigned Code;
};
constexpr TRateCode kStandardRates[] = {{50, B50},         {75, B75},         {110, B110},       {134, B134},
                                        {150, B150},       {200, B200},       {300, B300},       {600, B600},
                                        {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
                                        {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
                                        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

}  // namespace

int TranslateLineSettings(const TSerialLineSettings& S, TKernelTermios& T) {
  if (S.BaudRate <= 0) return EINVAL;

  // Raw mode: no line editing, echo, signals or output processing.
  T.c_iflag &= ~static_cast<unsigned>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                                      INPCK | IGNPAR | IUCLC | IMAXBEL);
  T.c_oflag &= ~static_cast<unsigned>(OPOST);
  T.c_lflag &= ~static_cast<unsigned>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  T.c_cflag &= ~static_cast<unsigned>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  T.c_cflag |= CREAD | CLOCAL;
  T.c_cc[VMIN] = 1;  // poll reports readable from the first byte
  T.c_cc[VTIME] = 0;

  switch (S.ByteSize) {
    case 5: T.c_cflag |= CS5; break;
    case 6: T.c_cflag |= CS6; break;
    case 7: T.c_cflag |= CS7; break;
    case 8: T.c_cflag |= CS8; break;
    default: return EINVAL;
  }
  switch (S.Parity) {
    case 0: break;
    case 1: T.c_cflag |= PARENB | PARODD; break;
    case 2: T.c_cflag |= PARENB; break;
    case 3: T.c_cflag |= PARENB | CMSPAR | PARODD; break;  // mark: the stick bit is 1
    case 4: T.c_cflag |= PARENB | CMSPAR; break;           // space: the stick bit is 0
    default: return EINVAL;
  }
  if (S.ParityCheck) T.c_iflag |= INPCK;
  switch (S.StopBits) {
    case 0: break;
    case 1:  // one and a half: the UART sends 1.5 stop bits for CSTOPB with 5 data bits
    case 2: T.c_cflag |= CSTOPB; break;
    default: return EINVAL;
  }
  // Linux has one switch for CTS output flow and RTS input handshaking.
  if (S.OutxCtsFlow || S.RtsControl == rtsHandshake) T.c_cflag |= CRTSCTS;
  if (S.OutX) T.c_iflag |= IXON;
  if (S.InX) T.c_iflag |= IXOFF;
  T.c_cc[VSTART] = static_cast<unsigned char>(S.XonChar);
  T.c_cc[VSTOP] = static_cast<unsigned char>(S.XoffChar);

  unsigned code = BOTHER;
  for (const TRateCode& r : kStandardRates)
    if (r.Rate == S.BaudRate) code = r.Code;
  T.c_cflag |= code | (code << IBSHIFT);
  T.c_ispeed = static_cast<unsigned>(S.BaudRate);
  T.c_ospeed = static_cast<unsigned>(S.BaudRate);
  return 0;
}

TModemLines ModemLinesFor(const TSerialLineSettings& S) {
  TModemLines m;
  // DTR handshaking has no Linux equivalent: the line is held on, as a handshake would start.
  (S.DtrControl == dtrDisabled ? m.Clear : m.Set) |= kModemDtr;
  switch (S.RtsControl) {
    case rtsEnabled: m.Set |= kModemRts; break;
    case rtsHandshake: break;  // the kernel drives RTS under CRTSCTS
    case rtsDisabled:
    case rtsToggle:  // no equivalent without RS-485 hardware support: held off
      m.Clear |= kModemRts;
      break;
  }
  return m;
}

}  // namespace hexloader
