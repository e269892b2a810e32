#pragma once
// A Win32 call that returns a handle, checked at once: null raises its failure (win32_ui_errors.h) with
// the system's text for GetLastError().
#include <windows.h>

#include "ui/win32/win32_ui_errors.h"

namespace hexloader {

// Returns Handle, or raises What with GetLastError() when it is null.
template <typename H>
H CheckedHandle(H Handle, const char* What) {
  if (!Handle) RaiseWin32UiError(What, ::GetLastError());
  return Handle;
}

}  // namespace hexloader
