// The receive threshold on Windows: the event thread reports received data as it comes (its own
// pacing already gathers bytes), so a threshold changes nothing there yet.
#include "serial/serial_port.h"

namespace hexloader {

int TSerialPort::SetReceiveThreshold(int) { return 0; }

}  // namespace hexloader
