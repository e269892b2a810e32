// A Windows helper for the demo and screenshot scripts: drives a running hexloader.exe from outside,
// as the operator's hand would, through the window's own messages and what its controls answer.
// Usage: window_driver [--desktop NAME] STEP...   (the steps run in order; each waits at most two
// minutes; --desktop: the window runs on that desktop, such as a wine virtual desktop)
//   shown            waits until the main window is shown
//   start            waits for the main window, then presses Start
//   prompt           waits until the power-on prompt is shown
//   shot FILE.bmp N  waits until the progress bar shows N percent, then saves the main window (with
//                    its frame, as the screen shows it) as a 24-bit BMP
//   done             waits until the upload has ended: the progress bar hidden again, Start enabled
//   exit             presses Exit and waits until the window has gone
//   key KEY          brings the main window to the front and presses KEY on the keyboard (f4, f5,
//                    ctrl+o, esc, down, enter, alt+f4), as the operator's hand would
//   dialog TITLE     waits until a dialog whose caption starts with TITLE is shown, then cancels it
//   press TITLE BUTTON  waits until a dialog whose caption starts with TITLE shows an enabled button
//                    captioned BUTTON ("&" left out), then presses it (a wizard's page by page)
//   menu             waits until a pop-up menu is shown
//   list             names the shown top-level windows on standard error (class, the caption's
//                    characters in hexadecimal)
//   noprompt         fails at once when the power-on prompt is shown
//   screen FILE.bmp  saves the whole screen
// Status 0 when every step was done, 1 (with a line on standard error) when one was not.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/win32_commands.h"

namespace {

using namespace std::chrono_literals;
namespace cmd = hexloader::win32_commands;

constexpr auto StepPatience = 120s;

bool WaitFor(const std::function<bool()>& Done) {
  const auto deadline = std::chrono::steady_clock::now() + StepPatience;
  while (!Done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

HWND MainWindow() {
  HWND form = ::FindWindowW(L"TForm1", nullptr);
  return form && ::IsWindowVisible(form) ? form : nullptr;
}

HWND ChildOfClass(HWND Parent, const wchar_t* Class) {
  struct TSearch {
    const wchar_t* Class;
    HWND Found;
  } search{Class, nullptr};
  ::EnumChildWindows(
      Parent,
      [](HWND Child, LPARAM Param) -> BOOL {
        auto& s = *reinterpret_cast<TSearch*>(Param);
        wchar_t name[64] = L"";
        ::GetClassNameW(Child, name, 64);
        if (std::wcscmp(name, s.Class) != 0) return TRUE;
        s.Found = Child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

bool StartEnabled(HWND Form) {
  HWND toolbar = ChildOfClass(Form, TOOLBARCLASSNAMEW);
  return toolbar && ::SendMessageW(toolbar, TB_ISBUTTONENABLED, cmd::ABegin, 0) != 0;
}

bool Press(HWND Form, int Command) {
  return ::PostMessageW(Form, WM_COMMAND, MAKEWPARAM(Command, BN_CLICKED),
                        reinterpret_cast<LPARAM>(ChildOfClass(Form, TOOLBARCLASSNAMEW)));
}

// The progress bar's percentage while it is shown; -1 while it is hidden.
int ProgressShown(HWND Form) {
  HWND bar = ChildOfClass(Form, L"TProgressBar");
  if (!bar || !::IsWindowVisible(bar)) return -1;
  return static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
}

// The window's rectangle of the screen as a bottom-up 24-bit BMP.
bool SaveWindowPicture(HWND Window, const wchar_t* Path) {
  RECT r;
  if (!::GetWindowRect(Window, &r)) return false;
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  bool ok = ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
  ::SelectObject(memory, previous);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  ok = ok && ::GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                         DIB_RGB_COLORS) == height;
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  if (!ok) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(Path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

// Real keyboard input for the window in front: the keys reach the program's own message loop, with the
// keyboard state its key translation reads.
bool PressKeys(const std::wstring& Name) {
  std::vector<WORD> keys;
  if (Name == L"f4") keys = {VK_F4};
  else if (Name == L"f5") keys = {VK_F5};
  else if (Name == L"ctrl+o") keys = {VK_CONTROL, 'O'};
  else if (Name == L"esc") keys = {VK_ESCAPE};
  else if (Name == L"down") keys = {VK_DOWN};
  else if (Name == L"enter") keys = {VK_RETURN};
  else if (Name == L"alt+f4") keys = {VK_MENU, VK_F4};
  else return false;
  std::vector<INPUT> input;
  for (WORD key : keys) input.push_back(INPUT{INPUT_KEYBOARD, {.ki = {key, 0, 0, 0, 0}}});
  for (auto key = keys.rbegin(); key != keys.rend(); ++key)
    input.push_back(INPUT{INPUT_KEYBOARD, {.ki = {*key, 0, KEYEVENTF_KEYUP, 0, 0}}});
  return ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)) == input.size();
}

// The caption as the window's own process answers it (another process's window may keep its caption
// where GetWindowText does not look).
std::wstring Caption(HWND Window) {
  wchar_t text[256] = L"";
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(Window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &copied);
  return text;
}

// A shown top-level window of the class whose caption starts with Title (any caption when Title is
// null): a wizard adds to its caption from page to page.
HWND ShownWindow(const wchar_t* Class, const wchar_t* Title) {
  struct TSearch {
    const wchar_t* Class;
    const wchar_t* Title;
    HWND Found;
  } search{Class, Title, nullptr};
  ::EnumWindows(
      [](HWND Window, LPARAM Param) -> BOOL {
        auto& s = *reinterpret_cast<TSearch*>(Param);
        wchar_t name[64] = L"";
        ::GetClassNameW(Window, name, 64);
        if (!::IsWindowVisible(Window) || std::wcscmp(name, s.Class) != 0) return TRUE;
        if (s.Title && Caption(Window).rfind(s.Title, 0) != 0) return TRUE;
        s.Found = Window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// A shown, enabled button of Dialog (at any depth) captioned Wanted, its "&" left out.
HWND ShownButton(HWND Dialog, const std::wstring& Wanted) {
  struct TSearch {
    const std::wstring& Wanted;
    HWND Found;
  } search{Wanted, nullptr};
  ::EnumChildWindows(
      Dialog,
      [](HWND Child, LPARAM Param) -> BOOL {
        auto& s = *reinterpret_cast<TSearch*>(Param);
        wchar_t name[16] = L"";
        ::GetClassNameW(Child, name, 16);
        if (::lstrcmpiW(name, L"Button") != 0 || !::IsWindowVisible(Child) || !::IsWindowEnabled(Child)) return TRUE;
        std::wstring text;
        for (const wchar_t c : Caption(Child))
          if (c != L'&') text += c;
        if (text != s.Wanted) return TRUE;
        s.Found = Child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

bool Fail(const char* Step) {
  std::fprintf(stderr, "window_driver: %s: not done within %lld s\n", Step,
               static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(StepPatience).count()));
  return false;
}

}  // namespace

int wmain(int Argc, wchar_t** Argv) {
  int i = 1;
  if (i + 1 < Argc && std::wstring(Argv[i]) == L"--desktop") {
    // Windows are found on the calling thread's desktop only; the desktop may still be in the making.
    HDESK desktop = nullptr;
    WaitFor([&] { return (desktop = ::OpenDesktopW(Argv[i + 1], 0, FALSE, GENERIC_ALL)) != nullptr; });
    if (!desktop || !::SetThreadDesktop(desktop)) {
      std::fprintf(stderr, "window_driver: no desktop %ls (error %lu)\n", Argv[i + 1], ::GetLastError());
      return 1;
    }
    i += 2;
  }
  HWND form = nullptr;
  for (; i < Argc; ++i) {
    const std::wstring step = Argv[i];
    if (step == L"shown") {
      if (!WaitFor([&] { return (form = MainWindow()) != nullptr; })) return Fail("shown"), 1;
    } else if (step == L"start") {
      if (!WaitFor([&] { return (form = MainWindow()) && StartEnabled(form); }) || !Press(form, cmd::ABegin))
        return Fail("start"), 1;
    } else if (step == L"prompt") {
      if (!WaitFor([] {
            HWND prompt = ::FindWindowW(L"TForm2", nullptr);
            return prompt && ::IsWindowVisible(prompt);
          }))
        return Fail("prompt"), 1;
    } else if (step == L"shot" && i + 2 < Argc) {
      const wchar_t* path = Argv[++i];
      const int percent = std::wcstol(Argv[++i], nullptr, 10);
      if (!WaitFor([&] { return (form = MainWindow()) && ProgressShown(form) >= percent; })) return Fail("shot"), 1;
      ::Sleep(100);  // the new percentage painted
      if (!SaveWindowPicture(form, path)) {
        std::fprintf(stderr, "window_driver: shot: the picture could not be saved\n");
        return 1;
      }
    } else if (step == L"done") {
      bool seen = false;
      if (!WaitFor([&] {
            if (!(form = MainWindow())) return false;
            const int shown = ProgressShown(form);
            seen = seen || shown >= 0;
            return seen && shown < 0 && StartEnabled(form);
          }))
        return Fail("done"), 1;
    } else if (step == L"exit") {
      if (!WaitFor([&] { return (form = MainWindow()) != nullptr; }) || !Press(form, cmd::AExit) ||
          !WaitFor([] { return ::FindWindowW(L"TForm1", nullptr) == nullptr; }))
        return Fail("exit"), 1;
    } else if (step == L"key" && i + 1 < Argc) {
      const std::wstring key = Argv[++i];
      // The main window in front first: the keys go to the window in front.
      if (!WaitFor([&] {
            if (!(form = MainWindow())) return false;
            ::SetForegroundWindow(form);
            return ::GetForegroundWindow() == form || ::GetForegroundWindow() == ::GetWindow(form, GW_OWNER);
          }))
        return Fail("key"), 1;
      if (!PressKeys(key)) {
        std::fprintf(stderr, "window_driver: key %ls: not pressed\n", key.c_str());
        return 1;
      }
    } else if (step == L"dialog" && i + 1 < Argc) {
      const wchar_t* title = Argv[++i];
      HWND dialog = nullptr;
      if (!WaitFor([&] { return (dialog = ShownWindow(L"#32770", title)) != nullptr; }) ||
          !::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0) ||
          !WaitFor([&] { return ShownWindow(L"#32770", title) == nullptr; }))
        return Fail("dialog"), 1;
    } else if (step == L"press" && i + 2 < Argc) {
      const wchar_t* title = Argv[++i];
      const std::wstring caption = Argv[++i];
      HWND dialog = nullptr, button = nullptr;
      if (!WaitFor([&] {
            dialog = ShownWindow(L"#32770", title);
            return dialog && (button = ShownButton(dialog, caption)) != nullptr;
          }) ||
          !::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                          reinterpret_cast<LPARAM>(button)))
        return Fail("press"), 1;
      // Gone, or the page changed: the next step must not find the same button.
      WaitFor([&] { return !::IsWindow(button) || !ShownButton(dialog, caption); });
    } else if (step == L"list") {
      ::EnumWindows(
          [](HWND Window, LPARAM) -> BOOL {
            wchar_t name[64] = L"";
            ::GetClassNameW(Window, name, 64);
            if (!::IsWindowVisible(Window)) return TRUE;
            // The caption's characters as numbers: the console may have no code page for them.
            std::fprintf(stderr, "window %ls:", name);
            for (const wchar_t c : Caption(Window)) std::fprintf(stderr, " %04X", static_cast<unsigned>(c));
            std::fprintf(stderr, "\n");
            return TRUE;
          },
          0);
    } else if (step == L"menu") {
      if (!WaitFor([] { return ShownWindow(L"#32768", nullptr) != nullptr; })) return Fail("menu"), 1;
    } else if (step == L"noprompt") {
      if (ShownWindow(L"TForm2", nullptr)) {
        std::fprintf(stderr, "window_driver: noprompt: the power-on prompt is shown\n");
        return 1;
      }
    } else if (step == L"screen" && i + 1 < Argc) {
      if (!SaveWindowPicture(::GetDesktopWindow(), Argv[++i])) {
        std::fprintf(stderr, "window_driver: screen: the picture could not be saved\n");
        return 1;
      }
    } else {
      std::fprintf(stderr, "window_driver: unknown step %ls\n", step.c_str());
      return 2;
    }
  }
  return 0;
}
