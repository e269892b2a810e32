#include "tests/win32/win32_scripted_dialogs.h"

#include <windows.h>

namespace hexloader::test {

bool TWin32ScriptedDialogs::IsVisible(TDialogParent Parent) const {
  return ::IsWindowVisible(static_cast<HWND>(Parent));
}

void TWin32ScriptedDialogs::RunPendingEvents() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace hexloader::test
