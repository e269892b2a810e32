#include "ui/win32/win32_status_bar.h"

#include <commctrl.h>

#include <algorithm>

#include "core/wide_text_win32.h"
#include "ui/win32/win32_window_errors.h"

namespace hexloader {
namespace {

constexpr int MinPaneWidth = 47;
constexpr int Margin = 2;    // the frame and a pixel of room around the panes
constexpr int TextRoom = 4;  // left of the text: frame, CaptionOffset 2 and a pixel; as much on the right

}  // namespace

TWin32StatusBar::TWin32StatusBar(HWND Parent, const RECT& Bounds, const TScale& Scale) : Scale_(Scale) {
  // Placed by us, not docked by the control: the main window's layout is fixed.
  Window_ = CheckedHandle(::CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                                            WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN |
                                                CCS_NODIVIDER | SBT_TOOLTIPS,
                                            Bounds.left, Bounds.top, Bounds.right - Bounds.left,
                                            Bounds.bottom - Bounds.top, Parent, nullptr, ::GetModuleHandleW(nullptr),
                                            nullptr),
                          win32_window_msg::CreateWindow);
  // The window colour, where no desktop theme draws the bar.
  ::SendMessageW(Window_, SB_SETBKCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_WINDOW)));
  ProgressBar1_ = std::make_unique<TWin32ProgressBar>(Window_);
  LayOut();
}

void TWin32StatusBar::SetPortPaneCaption(const std::string& Name) {
  if (Name == Caption_) return;
  Caption_ = Name;
  const std::wstring text = WideFromUtf8(Name);
  ::SendMessageW(Window_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // Shown when the pane cuts the name.
  ::SendMessageW(Window_, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
  LayOut();
}

int TWin32StatusBar::PaneWidth() const {
  RECT bar;
  ::GetClientRect(Window_, &bar);
  int needed = 0;
  if (!Caption_.empty()) {
    const std::wstring text = WideFromUtf8(Caption_);
    const HDC dc = ::GetDC(Window_);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(Window_, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (old) ::SelectObject(dc, old);
    ::ReleaseDC(Window_, dc);
    needed = size.cx + 2 * Scale_.Px(TextRoom);
  }
  return std::max(Scale_.Px(MinPaneWidth), std::min(needed, static_cast<int>(bar.right) / 2));
}

void TWin32StatusBar::LayOut() {
  RECT bar;
  ::GetClientRect(Window_, &bar);
  const int margin = Scale_.Px(Margin);
  const int paneRight = margin + PaneWidth();
  const int rights[2] = {paneRight, -1};
  ::SendMessageW(Window_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rights));
  ::MoveWindow(ProgressBar1_->Handle(), paneRight, margin, bar.right - margin - paneRight, bar.bottom - 2 * margin,
               TRUE);
}

}  // namespace hexloader
