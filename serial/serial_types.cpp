#include "serial/serial_types.h"

namespace hexloader {

std::uint32_t CommEventBit(TSerialCommEvent Event) {
  static constexpr std::uint32_t bits[] = {EV_BREAK, EV_CTS,     EV_DSR,    EV_ERR,     EV_RING,
                                           EV_RLSD,  EV_RXCHAR,  EV_TXEMPTY, EV_RXFLAG, EV_PERR,
                                           EV_RX80FULL, EV_EVENT1, EV_EVENT2};
  const int i = static_cast<int>(Event);
  return i >= 0 && i < static_cast<int>(std::size(bits)) ? bits[i] : 0;
}

}  // namespace hexloader
