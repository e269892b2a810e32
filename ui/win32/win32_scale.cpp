#include "ui/win32/win32_scale.h"

#include <windows.h>

namespace hexloader {

TScale TScale::OfScreen() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return TScale(dpi > 0 ? dpi : 96);
}

int TScale::Px(int Pixels96) const { return ::MulDiv(Pixels96, Dpi_, 96); }

}  // namespace hexloader
