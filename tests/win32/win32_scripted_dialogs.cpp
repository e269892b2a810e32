#include "tests/win32/win32_scripted_dialogs.h"

#include <windows.h>

#include "tests/win32/message_pump.h"

namespace hexloader::test {

bool TWin32ScriptedDialogs::IsVisible(TDialogParent Parent) const {
  return ::IsWindowVisible(static_cast<HWND>(Parent));
}

void TWin32ScriptedDialogs::RunPendingEvents() { DispatchWaitingMessages(); }

}  // namespace hexloader::test
