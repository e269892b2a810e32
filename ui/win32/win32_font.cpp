#include "ui/win32/win32_font.h"

#include "ui/win32/win32_checked_handle.h"

namespace hexloader {

TFontOwner WindowFont(int PixelHeight96, const TScale& Scale) {
  // A negative height is the character height without the internal leading, as a pixel size is.
  return TFontOwner(CheckedHandle(::CreateFontW(-Scale.Px(PixelHeight96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"),
                                  win32_ui_msg::Font));
}

void SetFontOnTree(HWND Window, HFONT Font) {
  ::SendMessageW(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
  ::EnumChildWindows(
      Window,
      [](HWND Child, LPARAM Parameter) -> BOOL {
        ::SendMessageW(Child, WM_SETFONT, static_cast<WPARAM>(Parameter), FALSE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(Font));
}

}  // namespace hexloader
