#pragma once
// The program's entry on the taskbar and in Alt+Tab: a window of its own, titled with the application's
// title ("Кварсел - Загрузчик") and carrying its icon, that owns the main window, as the classic Windows
// application frameworks make it. The main window then keeps its own caption (the HEX file's name, or
// nothing) and has no button of its own: Windows gives a button to shown windows that have no owner.
//
// The owner is shown but has no size, so nothing of it is ever seen; it stands in for the main window:
// - minimizing the main window minimizes the owner, which hides the windows it owns; the taskbar
//   button restores them;
// - activated (its button clicked, chosen with Alt+Tab), it hands the activation on to the window of
//   the program that was active last (the main window, or a dialog over it);
// - closed from the taskbar, it closes the main window;
// - its taskbar preview and Alt+Tab picture show the main window (drawn into a bitmap for the desktop
//   window manager, as a window with no size has no picture of its own).
#include <windows.h>

#include <vector>

#include "ui/win32/win32_window_class.h"

namespace hexloader {

class TWin32TaskbarOwner final : private TWindowProcedureTarget {
 public:
  // Creates the owner, hidden, with the program's icon in both sizes (shared icons: the process keeps
  // them).
  TWin32TaskbarOwner(HICON Icon, HICON SmallIcon);
  ~TWin32TaskbarOwner();
  TWin32TaskbarOwner(const TWin32TaskbarOwner&) = delete;
  TWin32TaskbarOwner& operator=(const TWin32TaskbarOwner&) = delete;

  HWND Handle() const { return Window_; }
  // The window it stands in for (owned by it); its picture is the previews'.
  void SetMainWindow(HWND MainWindow) { MainWindow_ = MainWindow; }
  // Shows the taskbar button (without activating anything) or takes it away.
  void Show();
  void Hide();
  // Minimizes the program: the owner, and with it every window it owns.
  void Minimize();

 private:
  LRESULT HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) override;
  void ActivateLastActive();
  void ShowWhatMinimizeHid();
  void SendThumbnail(int MaxWidth, int MaxHeight);
  void SendLivePreview();

  HWND Window_ = nullptr;
  HWND MainWindow_ = nullptr;
  // The program's windows Minimize had to hide itself, to be shown again on restore.
  std::vector<HWND> HiddenByMinimize_;
};

}  // namespace hexloader
