#pragma once
// Image1's picture on Windows: the logo JPEG stored in the program's resources, decoded by the Windows
// Imaging Component (Debian has no libjpeg built for mingw) and scaled to the screen.
#include "ui/win32/win32_handles.h"

namespace hexloader {

// The logo as a 32-bit device-independent bitmap Size x Size pixels; raises when it cannot be read.
TBitmapOwner LogoBitmap(int Size);

}  // namespace hexloader
