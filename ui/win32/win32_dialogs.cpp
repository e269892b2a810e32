#include "ui/win32/win32_dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "core/exception_display.h"
#include "core/wide_text_win32.h"
#include "ui/app_texts.h"
#include "ui/win32/win32_message_dialog.h"
#include "ui/win32/win32_ui_errors.h"

namespace hexloader {
namespace {

// Room for the longest path the system handles (\\?\ paths), so that no chosen file is refused for
// its length.
constexpr std::size_t PathBufferChars = 32768;

// A window that has no size stands for others (the taskbar entry owns the main window): it is never
// the one a message shows over.
bool HasNoSize(HWND Window) {
  RECT frame;
  return ::GetWindowRect(Window, &frame) && (frame.right <= frame.left || frame.bottom <= frame.top);
}

// The window a message shows over: the thread's active window (for the taskbar entry, the window it
// hands on to), else its foremost shown and enabled window with a size (a dialog that has not been
// activated yet, as the open dialog during start-up may not be when the posted port message arrives in
// its loop), else none.
HWND MessageOwner() {
  if (HWND active = ::GetActiveWindow()) return HasNoSize(active) ? ::GetLastActivePopup(active) : active;
  HWND foremost = nullptr;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND Window, LPARAM Param) -> BOOL {
        if (!::IsWindowVisible(Window) || !::IsWindowEnabled(Window) || HasNoSize(Window)) return TRUE;
        *reinterpret_cast<HWND*>(Param) = Window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&foremost));
  return foremost;
}

}  // namespace

std::optional<std::string> TWin32Dialogs::AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) {
  const std::wstring title = WideFromUtf8(Request.Title);
  const std::wstring defaultExt = WideFromUtf8(Request.DefaultExt);
  // Description and pattern, each ended by a null, and one more null after the last pair.
  std::wstring filter = WideFromUtf8(Request.FilterName);
  filter.push_back(L'\0');
  filter += WideFromUtf8(Request.FilterPattern);
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  std::vector<wchar_t> file(PathBufferChars, L'\0');

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = static_cast<HWND>(Parent);
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  // The image is written into the current directory: choosing a file must not move it there
  // (OFN_NOCHANGEDIR), as on Linux.
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING |
              OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
  if (!::GetOpenFileNameW(&ofn)) {
    // Cancelled, unless the dialog says why it failed (its own codes, not the system's).
    const DWORD error = ::CommDlgExtendedError();
    if (error == 0) return std::nullopt;
    RaiseWin32UiError(std::string(win32_ui_msg::OpenDialog) + " (" + std::to_string(error) + ")", 0);
  }
  return Utf8FromWide(file.data());
}

void TWin32Dialogs::ShowMessage(const std::string& Text) { ShowMessageDialog(MessageOwner(), Text); }

void TWin32Dialogs::ShowError(const std::string& Text) {
  const std::wstring text = WideFromUtf8(Text);
  const std::wstring caption = WideFromUtf8(texts::ApplicationTitle);
  HWND owner = MessageOwner();
  // Without an owner, MB_TASKMODAL keeps the thread's other windows from being used meanwhile.
  const UINT type = MB_OK | MB_ICONSTOP | (owner ? 0u : static_cast<UINT>(MB_TASKMODAL));
  if (::MessageBoxW(owner, text.c_str(), caption.c_str(), type) == 0)
    RaiseWin32UiError(win32_ui_msg::ErrorBox, ::GetLastError());
}

void InstallExceptionDisplay(TDialogs& Dialogs) {
  SetExceptionDisplay([&Dialogs](const std::string& Message) {
    ::ReleaseCapture();
    Dialogs.ShowError(ExceptionDisplayText(Message));
  });
}

}  // namespace hexloader
