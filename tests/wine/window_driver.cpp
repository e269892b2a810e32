// A Windows helper for the demo and screenshot scripts: drives a running hexloader.exe from outside,
// as the operator's hand would, through the window's own messages and what its controls answer.
// Usage: window_driver [--desktop NAME] STEP...   (the steps run in order; each waits at most two
// minutes; --desktop: the window runs on that desktop, such as a wine virtual desktop)
//   start            waits for the main window, then presses Start
//   prompt           waits until the power-on prompt is shown
//   shot FILE.bmp N  waits until the progress bar shows N percent, then saves the main window (with
//                    its frame, as the screen shows it) as a 24-bit BMP
//   done             waits until the upload has ended: the progress bar hidden again, Start enabled
//   exit             presses Exit and waits until the window has gone
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
    if (step == L"start") {
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
    } else {
      std::fprintf(stderr, "window_driver: unknown step %ls\n", step.c_str());
      return 2;
    }
  }
  return 0;
}
