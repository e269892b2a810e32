#pragma once
// The main window's failures of Win32 calls: what failed (below), then the system's text and code,
// built by RaiseWin32UiError like the rest of the Win32 face.
#include <windows.h>

#include "ui/win32/win32_ui_errors.h"

namespace hexloader {

namespace win32_window_msg {
inline constexpr const char* CreateWindow = "Не удалось создать окно";
inline constexpr const char* RegisterClass = "Не удалось зарегистрировать класс окна";
inline constexpr const char* Font = "Не удалось создать шрифт";
inline constexpr const char* Images = "Не удалось загрузить изображения кнопок";
inline constexpr const char* PortMenu = "Не удалось построить меню порта";
inline constexpr const char* Logo = "Не удалось прочитать логотип";
}  // namespace win32_window_msg

// Returns Handle, or raises What with GetLastError() when it is null.
template <typename H>
H CheckedHandle(H Handle, const char* What) {
  if (!Handle) RaiseWin32UiError(What, ::GetLastError());
  return Handle;
}

}  // namespace hexloader
