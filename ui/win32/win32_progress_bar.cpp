#include "ui/win32/win32_progress_bar.h"

#include <commctrl.h>

#include <string>
#include <tuple>

#include "ui/win32/win32_checked_handle.h"

namespace hexloader {
namespace {

constexpr const wchar_t* ClassName = L"TProgressBar";

}  // namespace

TWin32ProgressBar::TWin32ProgressBar(HWND Parent) {
  RegisterTargetClass(ClassName, {});
  Window_ = CreateTargetWindow(*this, 0, ClassName, L"", WS_CHILD, 0, 0, 0, 0, Parent);
  Parts_.SetOnChange([this](std::uint16_t) {
    ++RepaintRequests_;
    ::InvalidateRect(Window_, nullptr, FALSE);
  });
}

LRESULT TWin32ProgressBar::HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;  // everything is painted from the composed picture
    case WM_SETFONT: Font_ = reinterpret_cast<HFONT>(WParam); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(Font_);
    case PBM_GETPOS: return Parts_.Percent();
    case PBM_GETRANGE:
      if (LParam) *reinterpret_cast<PBRANGE*>(LParam) = PBRANGE{0, 100};
      return WParam ? 0 : 100;
    case WM_NCDESTROY: Window_ = nullptr; break;
  }
  return ::DefWindowProcW(Window, Message, WParam, LParam);
}

void TWin32ProgressBar::OnPaint() {
  PAINTSTRUCT paint;
  const HDC target = ::BeginPaint(Window_, &paint);
  RECT bounds;
  ::GetClientRect(Window_, &bounds);
  const int width = bounds.right, height = bounds.bottom;
  // Off-screen first, then one copy: no flicker while the bar moves.
  const HDC memory = ::CreateCompatibleDC(target);
  const HBITMAP picture = ::CreateCompatibleBitmap(target, width, height);
  if (memory && picture) {
    const HGDIOBJ oldBitmap = ::SelectObject(memory, picture);
    Compose(memory, bounds);
    ::BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, oldBitmap);
  }
  if (picture) ::DeleteObject(picture);
  if (memory) ::DeleteDC(memory);
  ::EndPaint(Window_, &paint);
}

void TWin32ProgressBar::Compose(HDC Target, const RECT& Bounds) const {
  const COLORREF back = ::GetSysColor(COLOR_WINDOW);
  const COLORREF bar = ::GetSysColor(COLOR_HIGHLIGHT);
  ::SetDCBrushColor(Target, back);
  ::FillRect(Target, &Bounds, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
  // The status frame: sunken, one pixel; then a pixel of border.
  RECT frame = Bounds;
  ::DrawEdge(Target, &frame, BDR_SUNKENOUTER, BF_RECT);
  RECT interior = Bounds;
  ::InflateRect(&interior, -2, -2);
  if (interior.right <= interior.left || interior.bottom <= interior.top) return;

  const HGDIOBJ oldFont = Font_ ? ::SelectObject(Target, Font_) : nullptr;
  const std::wstring text = std::to_wstring(Parts_.Percent()) + L"%";
  SIZE textSize{}, letterX{};
  ::GetTextExtentPoint32W(Target, text.c_str(), static_cast<int>(text.size()), &textSize);
  ::GetTextExtentPoint32W(Target, L"X", 1, &letterX);
  // Centred on half of the interior's right edge; top halfway down by the height of "X", toward zero.
  const int x = interior.right / 2 - textSize.cx / 2;
  const int y = interior.top + (interior.bottom - interior.top - letterX.cy) / 2;
  const int filled = TProgressParts::FilledWidth(Parts_.Percent(), interior.right - interior.left);
  const RECT done{interior.left, interior.top, interior.left + filled, interior.bottom};
  const RECT rest{interior.left + filled, interior.top, interior.right, interior.bottom};
  ::SetBkMode(Target, TRANSPARENT);
  // The text reads in inverse colours where the bar has passed.
  for (const auto& [part, fill, ink] : {std::tuple{done, bar, back}, std::tuple{rest, back, bar}}) {
    if (part.right <= part.left) continue;
    ::SetDCBrushColor(Target, fill);
    ::FillRect(Target, &part, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetTextColor(Target, ink);
    ::ExtTextOutW(Target, x, y, ETO_CLIPPED, &part, text.c_str(), static_cast<UINT>(text.size()), nullptr);
  }
  if (oldFont) ::SelectObject(Target, oldFont);
}

}  // namespace hexloader
