#include "ui/win32/win32_taskbar_owner.h"

#include <dwmapi.h>

#include <algorithm>
#include <cstdint>

#include "core/wide_text_win32.h"
#include "ui/app_texts.h"
#include "ui/win32/win32_handles.h"

namespace hexloader {
namespace {

constexpr const wchar_t* ClassName = L"TApplication";
// A caption and a system menu: the taskbar's menu for the button (Restore, Minimize, Close) is built
// from them.
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Posted to itself: the activation is handed on once the system has finished activating the owner.
constexpr UINT ActivateLastActiveMessage = WM_APP + 1;

// Window's picture as the screen shows it, scaled into Width x Height, as a 32-bit bitmap whose pixels are
// all opaque (the desktop window manager reads the alpha channel); null when it cannot be made.
TBitmapOwner WindowPicture(HWND Window, int Width, int Height) {
  RECT frame;
  if (!::GetWindowRect(Window, &frame) || Width <= 0 || Height <= 0) return nullptr;
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = Width;
  info.bmiHeader.biHeight = -Height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  TBitmapOwner picture(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  HDC screen = ::GetDC(nullptr);
  HDC whole = ::CreateCompatibleDC(screen);
  HDC scaled = ::CreateCompatibleDC(screen);
  HBITMAP wholeBitmap = ::CreateCompatibleBitmap(screen, width, height);
  bool drawn = false;
  if (picture && whole && scaled && wholeBitmap) {
    const HGDIOBJ oldWhole = ::SelectObject(whole, wholeBitmap);
    const HGDIOBJ oldScaled = ::SelectObject(scaled, picture.get());
    drawn = ::PrintWindow(Window, whole, 0) != FALSE;
    ::SetStretchBltMode(scaled, HALFTONE);
    drawn = drawn && ::StretchBlt(scaled, 0, 0, Width, Height, whole, 0, 0, width, height, SRCCOPY) != FALSE;
    ::GdiFlush();
    ::SelectObject(whole, oldWhole);
    ::SelectObject(scaled, oldScaled);
  }
  if (wholeBitmap) ::DeleteObject(wholeBitmap);
  if (scaled) ::DeleteDC(scaled);
  if (whole) ::DeleteDC(whole);
  ::ReleaseDC(nullptr, screen);
  if (!drawn) return nullptr;
  auto* pixel = static_cast<std::uint32_t*>(bits);
  std::for_each(pixel, pixel + static_cast<std::size_t>(Width) * Height, [](std::uint32_t& p) { p |= 0xFF000000u; });
  return picture;
}

// Window is owned by Owner, directly or through windows it owns. (Not GA_ROOTOWNER: that follows
// GetParent, which names the owner of pop-up windows only.)
bool OwnedBy(HWND Window, HWND Owner) {
  for (HWND owner = ::GetWindow(Window, GW_OWNER); owner; owner = ::GetWindow(owner, GW_OWNER))
    if (owner == Owner) return true;
  return false;
}

}  // namespace

TWin32TaskbarOwner::TWin32TaskbarOwner(HICON Icon, HICON SmallIcon) {
  RegisterTargetClass(ClassName, {nullptr, Icon, 0});
  RECT desktop{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0);
  const std::wstring title = WideFromUtf8(texts::ApplicationTitle);
  // No size, at the middle of the desktop: minimizing and restoring seem to shrink to and grow from it.
  Window_ = CreateTargetWindow(*this, 0, ClassName, title.c_str(), Style, (desktop.left + desktop.right) / 2,
                               (desktop.top + desktop.bottom) / 2, 0, 0, nullptr);
  // The taskbar button shows the small one, Alt+Tab the large one.
  ::SendMessageW(Window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon));
  ::SendMessageW(Window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon));
  // The previews come from us: the window has no picture of its own. Not all systems have a desktop
  // window manager that asks (and wine has none): the button works without.
  const BOOL yes = TRUE;
  ::DwmSetWindowAttribute(Window_, DWMWA_FORCE_ICONIC_REPRESENTATION, &yes, sizeof yes);
  ::DwmSetWindowAttribute(Window_, DWMWA_HAS_ICONIC_BITMAP, &yes, sizeof yes);
}

TWin32TaskbarOwner::~TWin32TaskbarOwner() {
  if (Window_) ::DestroyWindow(Window_);
}

void TWin32TaskbarOwner::Show() { ::ShowWindow(Window_, SW_SHOWNA); }
void TWin32TaskbarOwner::Hide() { ::ShowWindow(Window_, SW_HIDE); }
void TWin32TaskbarOwner::Minimize() {
  ::ShowWindow(Window_, SW_MINIMIZE);
  // Windows hides the windows an owner owns when it is minimized; one the system leaves shown (wine
  // leaves the main window, which is no pop-up) is hidden here, and shown again on restore.
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND Window, LPARAM Param) -> BOOL {
        auto& self = *reinterpret_cast<TWin32TaskbarOwner*>(Param);
        if (Window != self.Window_ && ::IsWindowVisible(Window) && OwnedBy(Window, self.Window_)) {
          ::ShowWindow(Window, SW_HIDE);
          self.HiddenByMinimize_.push_back(Window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(this));
}

void TWin32TaskbarOwner::ShowWhatMinimizeHid() {
  for (HWND window : HiddenByMinimize_)
    if (::IsWindow(window)) ::ShowWindow(window, SW_SHOWNA);
  HiddenByMinimize_.clear();
}

void TWin32TaskbarOwner::ActivateLastActive() {
  if (::GetActiveWindow() != Window_ || ::IsIconic(Window_)) return;
  // The program's window that was active last: the main window, a dialog over it, the prompt.
  HWND target = ::GetLastActivePopup(Window_);
  if (target == Window_) target = MainWindow_;
  if (target && ::IsWindowVisible(target) && ::IsWindowEnabled(target)) ::SetActiveWindow(target);
}

void TWin32TaskbarOwner::SendThumbnail(int MaxWidth, int MaxHeight) {
  RECT frame;
  if (!MainWindow_ || !::GetWindowRect(MainWindow_, &frame)) return;
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  if (width <= 0 || height <= 0) return;
  // As large as fits, the proportions kept.
  const double scale = std::min(1.0, std::min(double(MaxWidth) / width, double(MaxHeight) / height));
  const TBitmapOwner picture =
      WindowPicture(MainWindow_, std::max(1, int(width * scale)), std::max(1, int(height * scale)));
  if (picture) ::DwmSetIconicThumbnail(Window_, static_cast<HBITMAP>(picture.get()), 0);
}

void TWin32TaskbarOwner::SendLivePreview() {
  RECT frame;
  if (!MainWindow_ || !::GetWindowRect(MainWindow_, &frame)) return;
  const TBitmapOwner picture = WindowPicture(MainWindow_, frame.right - frame.left, frame.bottom - frame.top);
  // Where the main window is, from the owner's client area.
  POINT origin{0, 0};
  ::ClientToScreen(Window_, &origin);
  POINT offset{frame.left - origin.x, frame.top - origin.y};
  if (picture) ::DwmSetIconicLivePreviewBitmap(Window_, static_cast<HBITMAP>(picture.get()), &offset, 0);
}

LRESULT TWin32TaskbarOwner::HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_ACTIVATE:
      if (LOWORD(WParam) != WA_INACTIVE) ::PostMessageW(Window, ActivateLastActiveMessage, 0, 0);
      return 0;
    case ActivateLastActiveMessage: ActivateLastActive(); return 0;
    case WM_SYSCOMMAND:
      switch (WParam & 0xFFF0) {
        // Minimized from the taskbar (a click on the active program's button): as from the window.
        case SC_MINIMIZE: Minimize(); return 0;
        // Restored (its button clicked, Alt+Tab): the system shows again what it hid, and this what it left.
        case SC_RESTORE:
          ::DefWindowProcW(Window, Message, WParam, LParam);
          ShowWhatMinimizeHid();
          ActivateLastActive();
          return 0;
      }
      break;
    case WM_CLOSE:
      // Closing the button closes the program, as the main window's close box does.
      if (MainWindow_) ::PostMessageW(MainWindow_, WM_CLOSE, 0, 0);
      return 0;
    case WM_DWMSENDICONICTHUMBNAIL: SendThumbnail(HIWORD(LParam), LOWORD(LParam)); return 0;
    case WM_DWMSENDICONICLIVEPREVIEWBITMAP: SendLivePreview(); return 0;
    case WM_NCDESTROY: Window_ = nullptr; break;
  }
  return ::DefWindowProcW(Window, Message, WParam, LParam);
}

}  // namespace hexloader
