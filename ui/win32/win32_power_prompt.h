#pragma once
// Form2 on Windows, the power-on prompt: a small window with a fixed dialog border and an empty
// caption, client area 195 x 57, the label "Включи питание" (19 px) centred in it. Owned by the main
// window (it stays above it and goes with it); shown not modal, centred over the main window.
#include <windows.h>

#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_scale.h"
#include "ui/win32/win32_window_class.h"

namespace hexloader {

class TWin32PowerPrompt final : private TWindowProcedureTarget {
 public:
  TWin32PowerPrompt(HWND Owner, const TScale& Scale);
  TWin32PowerPrompt(const TWin32PowerPrompt&) = delete;
  TWin32PowerPrompt& operator=(const TWin32PowerPrompt&) = delete;

  HWND Handle() const { return Window_; }
  HWND Label1() const { return Label1_; }
  void ShowCentred();
  void Hide();

 private:
  LRESULT HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) override;

  HWND Owner_;
  HWND Window_ = nullptr;
  HWND Label1_ = nullptr;
  TFontOwner Font_;
};

}  // namespace hexloader
