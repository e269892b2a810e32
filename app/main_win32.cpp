// hexloader.exe: the operator's window on Windows. It reads no arguments; its only configuration is the
// settings INI file, beside the executable, or under %APPDATA% when the program is installed where it
// may not write (the program-files folders). The window, the dialogs and every handler run on this
// thread, on its message loop; the serial component's threads hand their work to it through the
// dispatcher.
// The window's header first: it includes <windows.h> after the serial component's names.
#include "ui/win32/win32_main_window.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "core/exception_display.h"
#include "core/file_size_signal.h"
#include "core/running_mark.h"
#include "core/ui_dispatcher.h"
#include "ui/win32/win32_dialogs.h"
#include "ui/win32/win32_ui_dispatcher.h"

namespace {

// COM for the logo's decoder (and the shell's parts of the open dialog), in the single-threaded
// apartment a window's thread needs.
class TComApartment {
 public:
  TComApartment() : Initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComApartment() {
    if (Initialised_) ::CoUninitialize();
  }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

 private:
  bool Initialised_;
};

int RunMessageLoop(hexloader::TWin32MainWindow& Form1) {
  MSG message;
  BOOL got;
  while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (Form1.TranslateKeys(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  hexloader::IgnoreFileSizeSignal();
  // Held until the process ends: the setup does not replace a program that runs.
  const hexloader::TRunningMark running;
  const TComApartment com;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_ANIMATE_CLASS};
  ::InitCommonControlsEx(&controls);

  hexloader::TWin32Dialogs dialogs;
  hexloader::InstallExceptionDisplay(dialogs);
  int status = 1;
  try {
    hexloader::TWin32UiDispatcher dispatcher;
    hexloader::SetUiDispatcher(&dispatcher);
    {
      // The program ends when Form1 closes, whether Form2 is still up or not.
      hexloader::TWin32MainWindow form1(dialogs);
      form1.SetOnClosed([] { ::PostQuitMessage(0); });
      form1.Show();
      status = RunMessageLoop(form1);
    }
    hexloader::SetUiDispatcher(nullptr);
  } catch (...) {
    // The window could not be made: say why, then end.
    hexloader::SetUiDispatcher(nullptr);
    hexloader::ShowException(std::current_exception());
  }
  hexloader::SetExceptionDisplay({});
  return status;
}
