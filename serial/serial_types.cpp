#include "serial/serial_types.h"

#include "serial/serial_comm.h"

namespace hexloader {

TSerialDisplay::~TSerialDisplay() {
  // Each notice takes its component off the list: work on a copy.
  const std::vector<TSerialCustomComm*> components = Components_;
  for (TSerialCustomComm* comm : components) comm->Notification(this);
}

std::uint32_t CommEventBit(TSerialCommEvent Event) {
  static constexpr std::uint32_t bits[] = {EV_BREAK,   EV_CTS,    EV_DSR,  EV_ERR,      EV_RING,   EV_RLSD,  EV_RXCHAR,
                                           EV_TXEMPTY, EV_RXFLAG, EV_PERR, EV_RX80FULL, EV_EVENT1, EV_EVENT2};
  const int i = static_cast<int>(Event);
  return i >= 0 && i < static_cast<int>(std::size(bits)) ? bits[i] : 0;
}

}  // namespace hexloader
