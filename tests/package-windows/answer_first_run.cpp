// A Windows helper for the tests: plays the operator at the window's first start. It answers the open
// dialog (found by its title) with the file named on its command line and presses Open, and presses OK on
// the notice that no port is chosen yet (the plain message dialog, titled with the application's title),
// in whatever order they come.
// Usage: answer_first_run.exe FILE SECONDS; status 0 both answered, 1 not within SECONDS.
#include <windows.h>

#include <cwchar>
#include <string>

#include "ui/app_texts.h"

namespace {

// The file-name box of the system's open dialog: a combo box in the Explorer-style dialog, an edit box
// in the old one (control ids of <dlgs.h>).
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

std::wstring Wide(const char* Utf8) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, Utf8, -1, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, Utf8, -1, text.data(), n);
  return text;
}

// The edit box that takes the file name: the control itself, or the edit inside it when it is a combo
// box (wine's dialog nests one in a ComboBoxEx).
HWND FileNameEdit(HWND Dialog) {
  for (int id : {kFileNameCombo, kFileNameEdit}) {
    HWND control = ::GetDlgItem(Dialog, id);
    if (!control) continue;
    HWND edit = nullptr;
    ::EnumChildWindows(
        control,
        [](HWND Child, LPARAM Found) -> BOOL {
          wchar_t name[16] = {};
          ::GetClassNameW(Child, name, 16);
          if (::lstrcmpiW(name, L"Edit") != 0) return TRUE;
          *reinterpret_cast<HWND*>(Found) = Child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&edit));
    return edit ? edit : control;
  }
  return nullptr;
}

void PressOk(HWND Dialog) {
  ::PostMessageW(Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(Dialog, IDOK)));
}

}  // namespace

int wmain(int Argc, wchar_t** Argv) {
  if (Argc != 3) return 2;
  const std::wstring openTitle = Wide(hexloader::texts::OpenDialogTitle);
  const std::wstring noticeTitle = Wide(hexloader::texts::ApplicationTitle);
  const DWORD deadline = ::GetTickCount() + static_cast<DWORD>(std::wcstoul(Argv[2], nullptr, 10)) * 1000;
  bool fileGiven = false;
  bool noticeClosed = false;
  while (!(fileGiven && noticeClosed)) {
    if (static_cast<LONG>(::GetTickCount() - deadline) >= 0) return 1;
    if (!fileGiven) {
      // Its controls come a moment after the dialog itself.
      HWND dialog = ::FindWindowW(L"#32770", openTitle.c_str());
      HWND edit = dialog ? FileNameEdit(dialog) : nullptr;
      if (edit && ::SetWindowTextW(edit, Argv[1])) {
        PressOk(dialog);
        fileGiven = true;
      }
    }
    if (!noticeClosed) {
      HWND notice = ::FindWindowW(L"#32770", noticeTitle.c_str());
      if (notice && ::IsWindowVisible(notice)) {
        PressOk(notice);
        noticeClosed = true;
      }
    }
    ::Sleep(100);
  }
  return 0;
}
