#include "ui/win32/win32_status_bar.h"

#include <commctrl.h>

#include <algorithm>

#include "core/wide_text_win32.h"
#include "ui/win32/win32_checked_handle.h"

namespace hexloader {
namespace {

constexpr int MinPaneWidth = 47;
constexpr int Margin = 2;    // the frame and a pixel of room around the panes
constexpr int TextRoom = 4;  // left of the text: frame, CaptionOffset 2 and a pixel; as much on the right

// Text as wide as it is drawn in the status bar's font.
class TTextMeasure {
 public:
  explicit TTextMeasure(HWND Window) : Window_(Window), Dc_(::GetDC(Window)) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(Window, WM_GETFONT, 0, 0));
    Old_ = font ? ::SelectObject(Dc_, font) : nullptr;
  }
  ~TTextMeasure() {
    if (Old_) ::SelectObject(Dc_, Old_);
    ::ReleaseDC(Window_, Dc_);
  }
  TTextMeasure(const TTextMeasure&) = delete;
  TTextMeasure& operator=(const TTextMeasure&) = delete;

  int Width(const std::wstring& Text) const {
    SIZE size{};
    ::GetTextExtentPoint32W(Dc_, Text.c_str(), static_cast<int>(Text.size()), &size);
    return size.cx;
  }

 private:
  HWND Window_;
  HDC Dc_;
  HGDIOBJ Old_ = nullptr;
};

// Text cut in its middle to fit Room pixels: port names differ at their ends (COM1, COM10; the folder
// and the device), so both ends stay.
std::wstring ElidedInMiddle(const std::wstring& Text, int Room, const TTextMeasure& Measure) {
  if (Measure.Width(Text) <= Room) return Text;
  for (std::size_t kept = Text.size(); kept-- > 0;) {
    const std::size_t left = (kept + 1) / 2, right = kept / 2;
    std::wstring shown = Text.substr(0, left) + L"\u2026" + Text.substr(Text.size() - right);
    if (Measure.Width(shown) <= Room) return shown;
  }
  return L"\u2026";
}

}  // namespace

TWin32StatusBar::TWin32StatusBar(HWND Parent, const RECT& Bounds, const TScale& Scale) : Scale_(Scale) {
  // Placed by us, not docked by the control: the main window's layout is fixed.
  Window_ = CheckedHandle(
      ::CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                        WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER | SBT_TOOLTIPS,
                        Bounds.left, Bounds.top, Bounds.right - Bounds.left, Bounds.bottom - Bounds.top, Parent,
                        nullptr, ::GetModuleHandleW(nullptr), nullptr),
      win32_ui_msg::CreateWindow);
  // The window colour, where no desktop theme draws the bar.
  ::SendMessageW(Window_, SB_SETBKCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_WINDOW)));
  ProgressBar1_ = std::make_unique<TWin32ProgressBar>(Window_);
  LayOut();
}

void TWin32StatusBar::SetPortPaneCaption(const std::string& Name) {
  if (Name == Caption_) return;
  Caption_ = Name;
  // The whole name as the pane's tooltip, for when the pane cuts it.
  const std::wstring text = WideFromUtf8(Name);
  ::SendMessageW(Window_, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
  LayOut();
}

void TWin32StatusBar::LayOut() {
  RECT bar;
  ::GetClientRect(Window_, &bar);
  const TTextMeasure measure(Window_);
  const std::wstring caption = WideFromUtf8(Caption_);
  const int textRoom = 2 * Scale_.Px(TextRoom);
  const int needed = caption.empty() ? 0 : measure.Width(caption) + textRoom;
  const int paneWidth = std::max(Scale_.Px(MinPaneWidth), std::min(needed, static_cast<int>(bar.right) / 2));
  const int margin = Scale_.Px(Margin);
  const int paneRight = margin + paneWidth;
  const int rights[2] = {paneRight, -1};
  ::SendMessageW(Window_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rights));
  const std::wstring shown = ElidedInMiddle(caption, paneWidth - textRoom, measure);
  ::SendMessageW(Window_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  ::MoveWindow(ProgressBar1_->Handle(), paneRight, margin, bar.right - margin - paneRight, bar.bottom - 2 * margin,
               TRUE);
}

}  // namespace hexloader
