#pragma once
// Why this file exists: <windows.h> defines the line-event and line-error names (EV_RXCHAR, CE_FRAME,
// ...) as macros, while serial_types.h declares the same names, with the same values, as constants of
// the component. Including both in one file breaks the constants. The Win32 serial files therefore take
// <windows.h> only through this header, after the component's headers, and use the component's names.
#include "serial/serial_types.h"

#include <windows.h>

#undef EV_RXCHAR
#undef EV_RXFLAG
#undef EV_TXEMPTY
#undef EV_CTS
#undef EV_DSR
#undef EV_RLSD
#undef EV_BREAK
#undef EV_ERR
#undef EV_RING
#undef EV_PERR
#undef EV_RX80FULL
#undef EV_EVENT1
#undef EV_EVENT2
#undef CE_RXOVER
#undef CE_OVERRUN
#undef CE_RXPARITY
#undef CE_FRAME
#undef CE_BREAK
