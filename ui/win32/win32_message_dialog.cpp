#include "ui/win32/win32_message_dialog.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <type_traits>

#include "core/wide_text_win32.h"
#include "ui/app_texts.h"
#include "ui/win32/win32_ui_errors.h"

namespace hexloader {
namespace {

// Sizes at 96 dots per inch; scaled to the display's (a process that is not DPI-aware always gets 96).
constexpr int FontPixels = 11;
constexpr int MarginPixels = 12;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;

struct TGdiObjectDeleter {
  void operator()(HGDIOBJ Object) const { ::DeleteObject(Object); }
};
using TFontOwner = std::unique_ptr<std::remove_pointer_t<HFONT>, TGdiObjectDeleter>;

// A window's device context with a font selected into it, both put back on destruction.
class TWindowDc {
 public:
  TWindowDc(HWND Window, HFONT Font) : Window_(Window), Dc_(::GetDC(Window)) {
    if (!Dc_) RaiseWin32UiError(win32_ui_msg::MessageDialog, ::GetLastError());
    Previous_ = ::SelectObject(Dc_, Font);
  }
  ~TWindowDc() {
    ::SelectObject(Dc_, Previous_);
    ::ReleaseDC(Window_, Dc_);
  }
  TWindowDc(const TWindowDc&) = delete;
  TWindowDc& operator=(const TWindowDc&) = delete;
  HDC Get() const { return Dc_; }

 private:
  HWND Window_;
  HDC Dc_;
  HGDIOBJ Previous_ = nullptr;
};

struct TMessageDialogData {
  std::wstring Text;
  std::wstring Caption;
  TFontOwner Font;           // outlives the dialog's controls
  std::exception_ptr Error;  // a failure inside the dialog procedure, raised again by the caller
};

// The dialog's template: no menu, the default dialog class, no title (set at WM_INITDIALOG) and no
// controls. Dialog templates must be DWORD-aligned.
struct alignas(4) TEmptyDialogTemplate {
  DLGTEMPLATE Header;
  WORD Menu;
  WORD Class;
  WORD Title;
};

HWND MakeChild(HWND Dialog, const wchar_t* Class, const std::wstring& Text, DWORD Style, int Id, const RECT& Place,
               HFONT Font) {
  HWND child =
      ::CreateWindowExW(0, Class, Text.c_str(), WS_CHILD | WS_VISIBLE | Style, Place.left, Place.top,
                        Place.right - Place.left, Place.bottom - Place.top, Dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), ::GetModuleHandleW(nullptr), nullptr);
  if (!child) RaiseWin32UiError(win32_ui_msg::MessageDialog, ::GetLastError());
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
  return child;
}

void LayOut(HWND Dialog, TMessageDialogData& Data) {
  if (!::SetWindowTextW(Dialog, Data.Caption.c_str())) RaiseWin32UiError(win32_ui_msg::MessageDialog, ::GetLastError());

  int dpi = 96;
  if (HDC screen = ::GetDC(nullptr)) {
    dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  const auto px = [dpi](int Pixels) { return ::MulDiv(Pixels, dpi, 96); };

  // The window's face, which Windows maps to its own sans-serif.
  Data.Font.reset(::CreateFontW(-px(FontPixels), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                L"MS Sans Serif"));
  if (!Data.Font) RaiseWin32UiError(win32_ui_msg::MessageDialog, ::GetLastError());

  // Short texts keep their natural width; longer ones wrap at half the screen, breaking a word that
  // alone is wider (a long path) as the static control below draws it.
  const int maxWidth = std::max(1, ::GetSystemMetrics(SM_CXSCREEN) / 2);
  constexpr UINT measure = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT;
  RECT text{0, 0, 0, 0};
  TEXTMETRICW metrics{};
  {
    TWindowDc dc(Dialog, Data.Font.get());
    ::GetTextMetricsW(dc.Get(), &metrics);
    ::DrawTextW(dc.Get(), Data.Text.c_str(), -1, &text, measure);
    if (text.right > maxWidth) {
      text = RECT{0, 0, maxWidth, 0};
      ::DrawTextW(dc.Get(), Data.Text.c_str(), -1, &text, measure | DT_WORDBREAK | DT_EDITCONTROL);
    }
  }
  const int textWidth = std::clamp<int>(text.right, 1, maxWidth);
  const int textHeight = std::max<int>(text.bottom, metrics.tmHeight);

  const int margin = px(MarginPixels);
  const int buttonWidth = px(ButtonWidth);
  const int buttonHeight = px(ButtonHeight);
  // Wide enough for the whole caption beside the close box (a short text would cut the title), within
  // the same half of the screen.
  int captionWidth = 0;
  NONCLIENTMETRICSW nonClient{};
  nonClient.cbSize = sizeof(nonClient);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(nonClient), &nonClient, 0)) {
    TFontOwner captionFont(::CreateFontIndirectW(&nonClient.lfCaptionFont));
    TWindowDc dc(Dialog, captionFont.get());
    RECT caption{0, 0, 0, 0};
    ::DrawTextW(dc.Get(), Data.Caption.c_str(), -1, &caption, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    captionWidth = std::min<int>(caption.right + 2 * ::GetSystemMetrics(SM_CXSIZE), maxWidth);
  }
  const int clientWidth = std::max({textWidth, buttonWidth, captionWidth - 2 * margin}) + 2 * margin;
  const int clientHeight = margin + textHeight + margin + buttonHeight + margin;

  const RECT textPlace{margin, margin, margin + textWidth, margin + textHeight};
  MakeChild(Dialog, L"STATIC", Data.Text, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, MessageDialogTextId, textPlace,
            Data.Font.get());
  const int buttonLeft = (clientWidth - buttonWidth) / 2;
  const int buttonTop = margin + textHeight + margin;
  const RECT buttonPlace{buttonLeft, buttonTop, buttonLeft + buttonWidth, buttonTop + buttonHeight};
  HWND ok = MakeChild(Dialog, L"BUTTON", WideFromUtf8(texts::OkButton), WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                      buttonPlace, Data.Font.get());
  ::SendMessageW(Dialog, DM_SETDEFID, IDOK, 0);

  RECT frame{0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(Dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(Dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  ::SetWindowPos(Dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetFocus(ok);
}

INT_PTR OnInitDialog(HWND Dialog, TMessageDialogData& Data) {
  try {
    LayOut(Dialog, Data);
  } catch (...) {
    Data.Error = std::current_exception();
    ::EndDialog(Dialog, IDABORT);
  }
  return FALSE;  // the focus is set
}

INT_PTR OnCommand(HWND Dialog, int Id) {
  // OK, Enter (the default button), Esc and the close box (IDCANCEL) all close it.
  if (Id != IDOK && Id != IDCANCEL) return FALSE;
  ::EndDialog(Dialog, Id);
  return TRUE;
}

INT_PTR CALLBACK MessageDialogProc(HWND Dialog, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_INITDIALOG: return OnInitDialog(Dialog, *reinterpret_cast<TMessageDialogData*>(LParam));
    case WM_COMMAND: return OnCommand(Dialog, LOWORD(WParam));
    default: return FALSE;
  }
}

}  // namespace

void ShowMessageDialog(HWND Owner, const std::string& Text) {
  TMessageDialogData data{WideFromUtf8(Text), WideFromUtf8(texts::ApplicationTitle), nullptr, nullptr};
  TEmptyDialogTemplate dialog{};
  dialog.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), &dialog.Header, Owner,
                                                   MessageDialogProc, reinterpret_cast<LPARAM>(&data));
  if (result == -1) RaiseWin32UiError(win32_ui_msg::MessageDialog, ::GetLastError());
  if (data.Error) std::rethrow_exception(data.Error);
}

}  // namespace hexloader
