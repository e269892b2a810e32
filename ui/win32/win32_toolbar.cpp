#include "ui/win32/win32_toolbar.h"

#include <commctrl.h>

#include <string>

#include "core/wide_text_win32.h"
#include "ui/app_texts.h"
#include "ui/win32/resources/resource_ids.h"
#include "ui/win32/win32_checked_handle.h"
#include "ui/win32/win32_commands.h"

namespace hexloader {
namespace {

constexpr int ImageSize = 16;
constexpr int ButtonSize = 25;
constexpr int PortButtonWidth = 39;
constexpr int FirstButtonLeft = 4;
constexpr int HintDelayMs = 500;
constexpr int TopEdge = 2;

// The toolbar control puts its buttons at the top of its client area: a non-client edge Height pixels
// high (the subclass's data) moves them down, painted in the window colour.
LRESULT CALLBACK TopEdgeProcedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR, DWORD_PTR Height) {
  switch (Message) {
    case WM_NCCALCSIZE: {
      const LRESULT result = ::DefSubclassProc(Window, Message, WParam, LParam);
      reinterpret_cast<RECT*>(LParam)->top += static_cast<LONG>(Height);
      return result;
    }
    case WM_NCPAINT: {
      const HDC dc = ::GetWindowDC(Window);
      RECT edge;
      ::GetWindowRect(Window, &edge);
      edge = RECT{0, 0, edge.right - edge.left, static_cast<LONG>(Height)};
      ::FillRect(dc, &edge, ::GetSysColorBrush(COLOR_WINDOW));
      ::ReleaseDC(Window, dc);
      return 0;
    }
    case WM_NCDESTROY: ::RemoveWindowSubclass(Window, TopEdgeProcedure, 0); break;
  }
  return ::DefSubclassProc(Window, Message, WParam, LParam);
}

struct TButton {
  int CommandId;
  int Icon;
  BYTE Style;
};
// In the toolbar's order; the image index is the position in this table.
constexpr TButton Buttons[] = {
    {win32_commands::ASelectFile, HEXLOADER_ICON_SELECT_FILE, BTNS_BUTTON},
    {win32_commands::ToolButton2, HEXLOADER_ICON_PORT, BTNS_WHOLEDROPDOWN},
    {win32_commands::ABegin, HEXLOADER_ICON_BEGIN, BTNS_BUTTON},
    {win32_commands::AExit, HEXLOADER_ICON_EXIT, BTNS_BUTTON},
};

}  // namespace

TWin32Toolbar::TWin32Toolbar(HWND Parent, const TScale& Scale) {
  RECT client;
  ::GetClientRect(Parent, &client);
  Window_ = CheckedHandle(
      ::CreateWindowExW(
          0, TOOLBARCLASSNAMEW, L"",
          WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0,
          0, client.right, Scale.Px(29), Parent, nullptr, ::GetModuleHandleW(nullptr), nullptr),
      win32_ui_msg::CreateWindow);
  ::SendMessageW(Window_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

  const int imageSize = Scale.Px(ImageSize);
  Images_.reset(
      CheckedHandle(::ImageList_Create(imageSize, imageSize, ILC_COLOR32 | ILC_MASK, 4, 0), win32_ui_msg::Images));
  for (const TButton& button : Buttons) {
    const TIconOwner icon(static_cast<HICON>(CheckedHandle(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(button.Icon), IMAGE_ICON, imageSize, imageSize, 0),
        win32_ui_msg::Images)));
    ::ImageList_AddIcon(Images_.get(), icon.get());
  }
  ::SendMessageW(Window_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images_.get()));
  ::SendMessageW(Window_, TB_SETINDENT, Scale.Px(FirstButtonLeft), 0);
  // Buttons 25 x 25 around a 16-pixel image.
  const int padding = Scale.Px(ButtonSize) - imageSize;
  ::SendMessageW(Window_, TB_SETPADDING, 0, MAKELPARAM(padding, padding));
  ::SendMessageW(Window_, TB_SETBUTTONSIZE, 0, MAKELPARAM(Scale.Px(ButtonSize), Scale.Px(ButtonSize)));
  // The buttons start 2 pixels below the toolbar's top: an edge of the window colour above them.
  ::SetWindowSubclass(Window_, TopEdgeProcedure, 0, static_cast<DWORD_PTR>(Scale.Px(TopEdge)));
  ::SetWindowPos(Window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

  TBBUTTON buttons[std::size(Buttons)]{};
  for (std::size_t i = 0; i < std::size(Buttons); ++i) {
    buttons[i].iBitmap = static_cast<int>(i);
    buttons[i].idCommand = Buttons[i].CommandId;
    buttons[i].fsState = TBSTATE_ENABLED;
    buttons[i].fsStyle = Buttons[i].Style;
    buttons[i].iString = -1;  // images only; the hints come from TTN_GETDISPINFOW
  }
  ::SendMessageW(Window_, TB_ADDBUTTONSW, std::size(buttons), reinterpret_cast<LPARAM>(buttons));
  // Every button keeps its width (the drop-down one would otherwise take what its arrow needs).
  for (const TButton& button : Buttons) {
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_SIZE;
    info.cx = static_cast<WORD>(Scale.Px(button.Style == BTNS_WHOLEDROPDOWN ? PortButtonWidth : ButtonSize));
    ::SendMessageW(Window_, TB_SETBUTTONINFOW, button.CommandId, reinterpret_cast<LPARAM>(&info));
  }

  // The hints as balloons, on the info background, after half a second.
  if (const HWND tips = Tooltips()) {
    ::SetWindowLongPtrW(tips, GWL_STYLE,
                        ::GetWindowLongPtrW(tips, GWL_STYLE) | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP);
    ::SendMessageW(tips, TTM_SETTIPBKCOLOR, ::GetSysColor(COLOR_INFOBK), 0);
    ::SendMessageW(tips, TTM_SETTIPTEXTCOLOR, ::GetSysColor(COLOR_INFOTEXT), 0);
    ::SendMessageW(tips, TTM_SETDELAYTIME, TTDT_INITIAL, HintDelayMs);
  }
}

HWND TWin32Toolbar::Tooltips() const { return reinterpret_cast<HWND>(::SendMessageW(Window_, TB_GETTOOLTIPS, 0, 0)); }

void TWin32Toolbar::SetEnabled(int CommandId, bool Enabled) {
  ::SendMessageW(Window_, TB_ENABLEBUTTON, CommandId, MAKELPARAM(Enabled ? TRUE : FALSE, 0));
}

bool TWin32Toolbar::IsEnabled(int CommandId) const {
  return ::SendMessageW(Window_, TB_ISBUTTONENABLED, CommandId, 0) != 0;
}

RECT TWin32Toolbar::ButtonScreenRect(int CommandId) const {
  RECT rect{};
  ::SendMessageW(Window_, TB_GETRECT, CommandId, reinterpret_cast<LPARAM>(&rect));
  ::MapWindowPoints(Window_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

const wchar_t* TWin32Toolbar::Hint(int CommandId) {
  static const std::wstring selectFile = WideFromUtf8(texts::SelectFileHint);
  static const std::wstring port = WideFromUtf8(texts::PortHint);
  static const std::wstring begin = WideFromUtf8(texts::BeginHint);
  static const std::wstring exit = WideFromUtf8(texts::ExitHint);
  switch (CommandId) {
    case win32_commands::ASelectFile: return selectFile.c_str();
    case win32_commands::ToolButton2: return port.c_str();
    case win32_commands::ABegin: return begin.c_str();
    case win32_commands::AExit: return exit.c_str();
  }
  return nullptr;
}

}  // namespace hexloader
