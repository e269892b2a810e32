#pragma once
// Pure translation of the component's line settings into the Windows device-control block; applying
// it is serial_port_win32.cpp's job.
#include "serial/comm_api_win32.h"
#include "serial/line_settings.h"

namespace hexloader {

// Fills every member of Dcb from Settings; DCBlength and the reserved members are left as they are.
void TranslateLineSettings(const TSerialLineSettings& Settings, DCB& Dcb);

}  // namespace hexloader
