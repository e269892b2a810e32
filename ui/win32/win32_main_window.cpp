#include "ui/win32/win32_main_window.h"

#include <commctrl.h>

#include <iterator>

#include "core/wide_text_win32.h"
#include "ui/app_texts.h"
#include "ui/dialogs.h"
#include "ui/guarded.h"
#include "ui/win32/resources/resource_ids.h"
#include "ui/win32/win32_checked_handle.h"
#include "ui/win32/win32_commands.h"
#include "ui/win32/win32_copy_animation.h"
#include "ui/win32/win32_font.h"
#include "ui/win32/win32_logo.h"
#include "ui/win32/win32_port_menu.h"
#include "ui/win32/win32_power_prompt.h"
#include "ui/win32/win32_status_bar.h"
#include "ui/win32/win32_taskbar_owner.h"
#include "ui/win32/win32_toolbar.h"

namespace hexloader {
namespace {

constexpr const wchar_t* ClassName = L"TForm1";
// A fixed dialog border that can still be minimised, as on Linux.
constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// No taskbar button of its own: the taskbar owner's stands for it (win32_taskbar_owner.h).
constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME;

constexpr int ClientWidth = 344;
constexpr int ClientHeight = 128;

}  // namespace

TWin32MainWindow::TWin32MainWindow(TDialogs& Dialogs, TForm1Options Options)
    : Dialogs_(Dialogs), Scale_(TScale::OfScreen()), Rules_(*this, std::move(Options)) {
  try {
    BuildControls();
    Rules_.FormCreate();
    Form2_ = std::make_unique<TWin32PowerPrompt>(Window_, Scale_);
  } catch (...) {
    // No window may outlive the object its messages go to.
    if (Window_) ::DestroyWindow(Window_);
    throw;
  }
}

TWin32MainWindow::~TWin32MainWindow() {
  OnClosed_ = nullptr;  // the program is going: nobody to tell
  CloseWindow();
}

RECT TWin32MainWindow::Scaled(int Left, int Top, int Width, int Height) const {
  // Edges scaled, not sizes: neighbours keep touching at any scale.
  return RECT{Scale_.Px(Left), Scale_.Px(Top), Scale_.Px(Left + Width), Scale_.Px(Top + Height)};
}

void TWin32MainWindow::BuildControls() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Shared icons: the class keeps them for the whole process.
  const auto icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(HEXLOADER_ICON_APPLICATION), IMAGE_ICON,
                                                    0, 0, LR_DEFAULTSIZE | LR_SHARED));
  // A dialog frame shows no icon in its caption on Windows; the taskbar and Alt+Tab show the owner's.
  RegisterTargetClass(ClassName, {reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), icon, 0});
  const auto smallIcon =
      static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(HEXLOADER_ICON_APPLICATION), IMAGE_ICON,
                                      ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  TaskbarOwner_ = std::make_unique<TWin32TaskbarOwner>(icon, smallIcon);

  RECT frame = Scaled(0, 0, ClientWidth, ClientHeight);
  ::AdjustWindowRectEx(&frame, Style, FALSE, ExStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT desktop{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0);
  const std::wstring caption = WideFromUtf8(texts::StoredCaption);
  Window_ = CreateTargetWindow(
      *this, ExStyle, ClassName, caption.c_str(), Style, desktop.left + (desktop.right - desktop.left - width) / 2,
      desktop.top + (desktop.bottom - desktop.top - height) / 2, width, height, TaskbarOwner_->Handle());
  TaskbarOwner_->SetMainWindow(Window_);
  Toolbar1_ = std::make_unique<TWin32Toolbar>(Window_, Scale_);
  PortMenu_ = std::make_unique<TWin32PortMenu>(Scale_);
  Animate1_ = std::make_unique<TWin32Animate>(Window_, Scaled(0, 29, 264, 80));
  const RECT logo = Scaled(264, 29, 80, 80);
  Image1_ = CheckedHandle(
      ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, logo.left, logo.top,
                        logo.right - logo.left, logo.bottom - logo.top, Window_, nullptr, instance, nullptr),
      win32_ui_msg::CreateWindow);
  // A logo that cannot be read is shown as a failure and leaves the place empty.
  Guarded([&] {
    Logo_ = LogoBitmap(logo.right - logo.left);
    ::SendMessageW(Image1_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Logo_.get()));
  });
  StatusBar1_ = std::make_unique<TWin32StatusBar>(Window_, Scaled(0, 109, 344, 19), Scale_);

  ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'O', win32_commands::ASelectFile},
                  {FVIRTKEY, VK_F4, win32_commands::ToolButton2},
                  {FVIRTKEY, VK_F5, win32_commands::ABegin}};
  Keys_.reset(CheckedHandle(::CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))), win32_ui_msg::Keys));

  Font_ = WindowFont(11, Scale_);
  // The toolbar shows images only: a font would only make it lay its buttons out anew.
  SetFontOnTree(StatusBar1_->Handle(), Font_.get());
  StatusBar1_->LayOut();  // the pane's width follows the font
}

bool TWin32MainWindow::TranslateKeys(MSG& Message) {
  return Window_ && Keys_ && ::TranslateAcceleratorW(Window_, Keys_.get(), &Message) != 0;
}

void TWin32MainWindow::Show() {
  TaskbarOwner_->Show();
  ::ShowWindow(Window_, SW_SHOW);
  ::UpdateWindow(Window_);
}

HWND TWin32MainWindow::TaskbarOwner() const { return TaskbarOwner_->Handle(); }
HWND TWin32MainWindow::Toolbar1() const { return Toolbar1_->Handle(); }
HWND TWin32MainWindow::StatusBar1() const { return StatusBar1_->Handle(); }
HWND TWin32MainWindow::ProgressBar1() const { return StatusBar1_->ProgressBar1().Handle(); }
HWND TWin32MainWindow::Animate1() const { return Animate1_->Handle(); }
const std::string& TWin32MainWindow::PortPaneCaption() const { return StatusBar1_->PortPaneCaption(); }
bool TWin32MainWindow::AnimationActive() const { return Animate1_->Active(); }
HWND TWin32MainWindow::Form2() const { return Form2_ ? Form2_->Handle() : nullptr; }

LRESULT TWin32MainWindow::HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_COMMAND: OnCommand(LOWORD(WParam)); return 0;
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<NMHDR*>(LParam));
    case WM_MEASUREITEM:
      if (PortMenu_ && PortMenu_->OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(LParam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (PortMenu_ && PortMenu_->OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(LParam))) return TRUE;
      break;
    case ShowPendingMessageMessage: Rules_.PendingMessageArrived(); return 0;
    case WM_CTLCOLORSTATIC:
      // The logo and the animation on the window colour.
      ::SetBkColor(reinterpret_cast<HDC>(WParam), ::GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    case WM_SYSCOMMAND:
      // Minimized, the program goes to its taskbar button: the owner, which takes its windows along.
      if ((WParam & 0xFFF0) != SC_MINIMIZE) break;
      TaskbarOwner_->Minimize();
      return 0;
    case WM_CLOSE: CloseWindow(); return 0;
    case WM_NCDESTROY: OnDestroyed(); return 0;
  }
  return ::DefWindowProcW(Window, Message, WParam, LParam);
}

void TWin32MainWindow::OnCommand(int CommandId) {
  // A disabled command does nothing, whoever sends it.
  if (CommandId < win32_commands::PortMenuFirst && !Toolbar1_->IsEnabled(CommandId)) return;
  switch (CommandId) {
    case win32_commands::ASelectFile: Rules_.ASelectFileExecute(); return;
    case win32_commands::ToolButton2: OpenPortMenu(); return;
    case win32_commands::ABegin: Rules_.ABeginExecute(); return;
    case win32_commands::AExit: Rules_.AExitExecute(); return;
  }
  if (CommandId < win32_commands::PortMenuFirst) return;
  const std::size_t index = CommandId - win32_commands::PortMenuFirst;
  if (index < PortMenuItems_.size()) Rules_.PortMenuClick(PortMenuItems_[index]);
}

LRESULT TWin32MainWindow::OnNotify(NMHDR& Header) {
  switch (Header.code) {
    case TBN_DROPDOWN: OpenPortMenu(); return TBDDRET_DEFAULT;
    case TTN_GETDISPINFOW: {
      auto& info = reinterpret_cast<NMTTDISPINFOW&>(Header);
      if (const wchar_t* hint = TWin32Toolbar::Hint(static_cast<int>(Header.idFrom)))
        info.lpszText = const_cast<wchar_t*>(hint);
      return 0;
    }
  }
  return 0;
}

void TWin32MainWindow::OpenPortMenu() {
  Rules_.PortMenuOpening();  // fills PortMenuItems_ anew through SetPortMenuItems
  // Copied: the click may run while the menu's names change.
  const std::vector<std::string> names = PortMenuItems_;
  std::optional<std::size_t> chosen;
  const std::string checked = Rules_.PortInUse();
  Guarded([&] {
    chosen = PortMenu_->Track(Window_, Toolbar1_->ButtonScreenRect(win32_commands::ToolButton2), names, checked);
  });
  if (chosen) Rules_.PortMenuClick(names[*chosen]);
}

void TWin32MainWindow::OnDestroyed() {
  Window_ = nullptr;
  TaskbarOwner_->Hide();  // the button goes with the window, not when the program has ended
  Image1_ = nullptr;
  if (OnClosed_) OnClosed_();
}

void TWin32MainWindow::SetCaption(const std::string& Text) { ::SetWindowTextW(Window_, WideFromUtf8(Text).c_str()); }

void TWin32MainWindow::SetPortPaneCaption(const std::string& Name) { StatusBar1_->SetPortPaneCaption(Name); }

void TWin32MainWindow::SetBeginEnabled(bool Enabled) { Toolbar1_->SetEnabled(win32_commands::ABegin, Enabled); }

void TWin32MainWindow::SetPortMenuItems(const std::vector<std::string>& Names, const std::string&) {
  PortMenuItems_ = Names;  // the menu itself is made when it opens (OpenPortMenu), with the check
}

std::optional<std::string> TWin32MainWindow::AskOpenFile(const TOpenDialogRequest& Request) {
  const bool shown = Window_ && ::IsWindowVisible(Window_);
  return Dialogs_.AskOpenFile(shown ? Window_ : nullptr, Request);
}

void TWin32MainWindow::PostPendingMessage() {
  if (!::PostMessageW(Window_, ShowPendingMessageMessage, 0, 0))
    RaiseWin32UiError(win32_ui_msg::DispatcherPost, ::GetLastError());
}

void TWin32MainWindow::CloseWindow() {
  if (!Window_) return;
  Rules_.FormDestroy();
  ::DestroyWindow(Window_);  // Form2 and the controls go with it
}

void TWin32MainWindow::SetProgressTotalParts(std::uint32_t TotalParts) {
  StatusBar1_->ProgressBar1().SetTotalParts(TotalParts);
}
void TWin32MainWindow::SetProgressPartsComplete(std::uint32_t PartsComplete) {
  StatusBar1_->ProgressBar1().SetPartsComplete(PartsComplete);
}
void TWin32MainWindow::SetProgressVisible(bool Visible) {
  if (Window_) ::ShowWindow(ProgressBar1(), Visible ? SW_SHOWNA : SW_HIDE);
}
void TWin32MainWindow::SetAnimationVisible(bool Visible) {
  if (Window_) Animate1_->SetVisible(Visible);
}
void TWin32MainWindow::SetAnimationActive(bool Active) {
  if (Window_) Animate1_->SetActive(Active);
}

void TWin32MainWindow::SetUploadCommandsEnabled(bool Enabled) {
  for (int command : {win32_commands::ABegin, win32_commands::ASelectFile, win32_commands::ToolButton2})
    Toolbar1_->SetEnabled(command, Enabled);
}

void TWin32MainWindow::ShowPowerOnPrompt() {
  if (Form2_ && Window_) Form2_->ShowCentred();
}
void TWin32MainWindow::HidePowerOnPrompt() {
  if (Form2_ && Window_) Form2_->Hide();
}
void TWin32MainWindow::ShowMessage(const std::string& Text) { Dialogs_.ShowMessage(Text); }

}  // namespace hexloader
