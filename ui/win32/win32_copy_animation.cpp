#include "ui/win32/win32_copy_animation.h"

#include <commctrl.h>

#include "core/exception.h"
#include "ui/win32/win32_checked_handle.h"

namespace hexloader {
namespace {

constexpr int CopyFileClip = 161;  // the shell's copy-file clip

}  // namespace

TWin32Animate::TWin32Animate(HWND Parent, const RECT& Bounds) {
  Window_ =
      CheckedHandle(::CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD | ACS_CENTER | ACS_TRANSPARENT, Bounds.left + 1,
                                      Bounds.top + 1, Bounds.right - Bounds.left - 2, Bounds.bottom - Bounds.top - 2,
                                      Parent, nullptr, ::GetModuleHandleW(nullptr), nullptr),
                    win32_ui_msg::CreateWindow);
}

TWin32Animate::~TWin32Animate() {
  // The control reads the clip from shell32's resources: close it before the library goes.
  if (ClipOpen_ && ::IsWindow(Window_)) ::SendMessageW(Window_, ACM_OPENW, 0, 0);
  if (Shell_) ::FreeLibrary(Shell_);
}

void TWin32Animate::OpenClip() {
  if (Tried_) return;
  Tried_ = true;
  Shell_ = ::LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!Shell_) return;
  ClipOpen_ = ::SendMessageW(Window_, ACM_OPENW, reinterpret_cast<WPARAM>(Shell_),
                             reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(CopyFileClip))) != 0;
}

void TWin32Animate::SetVisible(bool Visible) {
  if (Visible) OpenClip();
  ::ShowWindow(Window_, Visible ? SW_SHOWNA : SW_HIDE);
}

void TWin32Animate::SetActive(bool Active) {
  OpenClip();
  if (Active) {
    if (!ClipOpen_) throw Exception("Cannot open AVI");
    // From the first frame to the last, again and again.
    ::SendMessageW(Window_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
  } else {
    ::SendMessageW(Window_, ACM_STOP, 0, 0);
    if (ClipOpen_) ::SendMessageW(Window_, ACM_PLAY, 1, MAKELPARAM(0, 0));  // shows the first frame
  }
  Active_ = Active;
}

}  // namespace hexloader
