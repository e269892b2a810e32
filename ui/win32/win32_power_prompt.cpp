#include "ui/win32/win32_power_prompt.h"

#include "core/wide_text_win32.h"
#include "ui/win32/win32_checked_handle.h"
#include "ui/win32/win32_font.h"
#include "upload/upload_errors.h"

namespace hexloader {
namespace {

constexpr const wchar_t* ClassName = L"TForm2";
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME;

}  // namespace

TWin32PowerPrompt::TWin32PowerPrompt(HWND Owner, const TScale& Scale) : Owner_(Owner) {
  RegisterTargetClass(ClassName, {reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), nullptr, 0});
  RECT frame{0, 0, Scale.Px(195), Scale.Px(57)};
  ::AdjustWindowRectEx(&frame, Style, FALSE, ExStyle);
  Window_ = CreateTargetWindow(*this, ExStyle, ClassName, L"", Style, 0, 0, frame.right - frame.left,
                               frame.bottom - frame.top, Owner);
  const std::wstring text = WideFromUtf8(PowerOnPromptText);
  Label1_ = CheckedHandle(
      ::CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, 0,
                        0, Scale.Px(195), Scale.Px(57), Window_, nullptr, ::GetModuleHandleW(nullptr), nullptr),
      win32_ui_msg::CreateWindow);
  Font_ = WindowFont(19, Scale);
  ::SendMessageW(Label1_, WM_SETFONT, reinterpret_cast<WPARAM>(Font_.get()), FALSE);
}

void TWin32PowerPrompt::ShowCentred() {
  RECT owner, own;
  ::GetWindowRect(Owner_, &owner);
  ::GetWindowRect(Window_, &own);
  const int width = own.right - own.left, height = own.bottom - own.top;
  ::SetWindowPos(Window_, nullptr, owner.left + (owner.right - owner.left - width) / 2,
                 owner.top + (owner.bottom - owner.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(Window_, SW_SHOW);
}

void TWin32PowerPrompt::Hide() {
  if (Window_) ::ShowWindow(Window_, SW_HIDE);
}

LRESULT TWin32PowerPrompt::HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_CTLCOLORSTATIC:
      // The label on the window colour, as the window itself.
      ::SetBkColor(reinterpret_cast<HDC>(WParam), ::GetSysColor(COLOR_WINDOW));
      ::SetTextColor(reinterpret_cast<HDC>(WParam), ::GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    case WM_CLOSE:
      Hide();  // the operator may close it; the main window keeps it for the next Start
      return 0;
    case WM_NCDESTROY: Window_ = nullptr; break;
  }
  return ::DefWindowProcW(Window, Message, WParam, LParam);
}

}  // namespace hexloader
