#pragma once
// Toolbar1 on Windows: the system's toolbar, 344 x 29 at the top, with the four tool buttons at 4, 29,
// 68 and 93 (Port 39 wide, a whole-button drop-down), images only, and their hints as balloon
// tooltips (info background, left-aligned, 500 ms delay). Clicks arrive at the parent as WM_COMMAND
// with the ids of win32_commands.h; the Port button's press as TBN_DROPDOWN.
#include <windows.h>

#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_scale.h"

namespace hexloader {

class TWin32Toolbar {
 public:
  TWin32Toolbar(HWND Parent, const TScale& Scale);

  HWND Handle() const { return Window_; }
  HWND Tooltips() const;
  void SetEnabled(int CommandId, bool Enabled);
  bool IsEnabled(int CommandId) const;
  // The button's rectangle in screen pixels.
  RECT ButtonScreenRect(int CommandId) const;

  // The hint of a button (UTF-16, lives as long as the program), for TTN_GETDISPINFOW; null for
  // another id.
  static const wchar_t* Hint(int CommandId);

 private:
  HWND Window_ = nullptr;
  TImageListOwner Images_;
};

}  // namespace hexloader
