#pragma once
// Form1 on Windows: the main window as a window class of its own ("TForm1"), the Win32 face of
// TMainWindowRules. Fixed dialog border, client area 344 x 128 (at 96 dpi, scaled with the screen),
// window colour, centred on the screen: the toolbar with the four tool buttons, the copy animation and
// the logo in the middle band, the status bar with the port pane and the progress bar, and the hidden
// power-on prompt Form2. Every command, menu click and window message runs through the rules' guarded
// entry points; everything runs on the thread that made the window, which must pump its messages.
//
// The handles and command ids are public so that a test in the same process can drive the window with
// its own messages (WM_COMMAND with win32_commands.h, TB_ISBUTTONENABLED, SB_GETTEXTW, PBM_GETPOS...).
// The rules (and the serial component's names of line events in them) before <windows.h>, whose
// macros of the same names would break them; include this header before <windows.h> too.
#include "ui/main_window_rules.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_scale.h"
#include "ui/win32/win32_window_class.h"
#include "ui/window_face.h"

namespace hexloader {

class TDialogs;
class TWin32Animate;
class TWin32PortMenu;
class TWin32PowerPrompt;
class TWin32StatusBar;
class TWin32TaskbarOwner;
class TWin32Toolbar;

// The message the window posts to itself to show the pending message (AChangeComPort).
inline constexpr UINT ShowPendingMessageMessage = WM_USER + 1;

class TWin32MainWindow final : public TWindowFace, private TWindowProcedureTarget {
 public:
  // Builds the window, hidden, and runs FormCreate (which may show the open dialog, alone, before the
  // window is shown), then makes the hidden prompt Form2. Dialogs must outlive the window.
  explicit TWin32MainWindow(TDialogs& Dialogs, TForm1Options Options = {});
  // Closes the window if it is still open (FormDestroy first).
  ~TWin32MainWindow() override;
  TWin32MainWindow(const TWin32MainWindow&) = delete;
  TWin32MainWindow& operator=(const TWin32MainWindow&) = delete;

  void Show();
  // The window's keys (Ctrl+O the file, F4 the Port menu, F5 Start): the thread's message loop hands
  // every message here before it dispatches it; true when it was a key of the window's, which then
  // runs its command as the toolbar does (nothing while the command is disabled). Alt+F4 closes the
  // window through the system menu, as its close box does.
  bool TranslateKeys(MSG& Message);
  // Called once, when the window has been destroyed (by Exit, its close box or CloseWindow).
  void SetOnClosed(std::function<void()> OnClosed) { OnClosed_ = std::move(OnClosed); }
  bool IsClosed() const { return Window_ == nullptr; }

  TMainWindowRules& Rules() { return Rules_; }
  HWND Handle() const { return Window_; }
  // The window that carries the program's taskbar button and owns this one (win32_taskbar_owner.h).
  HWND TaskbarOwner() const;
  HWND Toolbar1() const;
  HWND StatusBar1() const;
  HWND ProgressBar1() const;
  HWND Animate1() const;
  HWND Image1() const { return Image1_; }
  HWND Form2() const;
  bool AnimationActive() const;
  // The port pane's caption, whole (the pane may show it cut in the middle).
  const std::string& PortPaneCaption() const;
  // The Port menu's items as last filled (each opening fills them anew). A test that cannot answer the
  // menu's own modal loop fills them with Rules().PortMenuOpening() and sends WM_COMMAND with
  // win32_commands::PortMenuFirst + N, as a click on item N does.
  const std::vector<std::string>& PortMenuItems() const { return PortMenuItems_; }
  // Opens the Port menu below its button, as a press on the button does, and runs the item chosen.
  void OpenPortMenu();

  // TWindowFace
  void SetCaption(const std::string& Text) override;
  void SetPortPaneCaption(const std::string& Name) override;
  void SetBeginEnabled(bool Enabled) override;
  void SetPortMenuItems(const std::vector<std::string>& Names, const std::string& Current) override;
  std::optional<std::string> AskOpenFile(const TOpenDialogRequest& Request) override;
  void PostPendingMessage() override;
  void CloseWindow() override;
  // TUploadView
  void SetProgressTotalParts(std::uint32_t TotalParts) override;
  void SetProgressPartsComplete(std::uint32_t PartsComplete) override;
  void SetProgressVisible(bool Visible) override;
  void SetAnimationVisible(bool Visible) override;
  void SetAnimationActive(bool Active) override;
  void SetUploadCommandsEnabled(bool Enabled) override;
  void ShowPowerOnPrompt() override;
  void HidePowerOnPrompt() override;
  void ShowMessage(const std::string& Text) override;

 private:
  LRESULT HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) override;
  void BuildControls();
  void OnCommand(int CommandId);
  LRESULT OnNotify(NMHDR& Header);
  void OnDestroyed();
  RECT Scaled(int Left, int Top, int Width, int Height) const;

  TDialogs& Dialogs_;
  TScale Scale_;
  TFontOwner Font_;
  TBitmapOwner Logo_;
  TAcceleratorOwner Keys_;
  std::unique_ptr<TWin32TaskbarOwner> TaskbarOwner_;
  HWND Window_ = nullptr;
  HWND Image1_ = nullptr;
  std::unique_ptr<TWin32Toolbar> Toolbar1_;
  std::unique_ptr<TWin32PortMenu> PortMenu_;
  std::unique_ptr<TWin32Animate> Animate1_;
  std::unique_ptr<TWin32StatusBar> StatusBar1_;
  std::unique_ptr<TWin32PowerPrompt> Form2_;
  std::vector<std::string> PortMenuItems_;
  std::function<void()> OnClosed_;
  // Last: it goes first, while the widgets it talks to are still there.
  TMainWindowRules Rules_;
};

}  // namespace hexloader
