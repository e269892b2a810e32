// The real Win32 main window, created in this process and driven through its messages: the toolbar's
// WM_COMMANDs and the Port menu's items, with the enabled states, the status bar's texts and the
// progress bar read back as another program would. The dialogs go through the scripted seam, so the
// modal ones are answered and recorded.
//
// Run by win32_window_wine_test.sh under Xvfb: it starts, for each case, the simulated device that
// case needs behind the prefix's port HEXLOADER_TEST_PORT, and names in the environment the device's
// memory file (HEXLOADER_TEST_MEMORY) and the file that appears when a device that went away is back
// (HEXLOADER_TEST_DEVICE_BACK), as Windows paths.
// The window's header first: it includes <windows.h> after the serial component's names.
#include "ui/win32/win32_main_window.h"

#include <commctrl.h>
#include <dlgs.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "core/wide_text_win32.h"
#include "tests/win32/dialog_probe.h"
#include "tests/win32/message_pump.h"
#include "tests/win32/win32_scripted_dialogs.h"
#include "ui/app_texts.h"
#include "ui/win32/win32_commands.h"
#include "ui/win32/win32_dialogs.h"
#include "ui/win32/win32_message_dialog.h"
#include "ui/win32/win32_ui_dispatcher.h"
#include "upload/upload_errors.h"
#include "upload/upload_session.h"

namespace hexloader::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;
namespace cmd = win32_commands;

constexpr auto kPatience = 60s;  // generous: the machine may be loaded; waits end once the condition holds

std::string Environment(const char* Name) {
  const char* value = std::getenv(Name);
  return value ? value : "";
}

// The device's port and files as the script set them up.
std::string TestPort() { return Environment("HEXLOADER_TEST_PORT"); }
fs::path DeviceMemory() { return fs::path(WideFromUtf8(Environment("HEXLOADER_TEST_MEMORY"))); }
fs::path DeviceBack() { return fs::path(WideFromUtf8(Environment("HEXLOADER_TEST_DEVICE_BACK"))); }

// The process's user-interface thread: COM for the logo's decoder, the common controls, the dispatcher.
class TUiThreadEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_ANIMATE_CLASS};
    ::InitCommonControlsEx(&controls);
    Dispatcher_ = std::make_unique<TWin32UiDispatcher>();
    SetUiDispatcher(Dispatcher_.get());
  }
  void TearDown() override {
    SetUiDispatcher(nullptr);
    Dispatcher_.reset();
    ::CoUninitialize();
  }

 private:
  std::unique_ptr<TWin32UiDispatcher> Dispatcher_;
};
[[maybe_unused]] ::testing::Environment* const UiThread = ::testing::AddGlobalTestEnvironment(new TUiThreadEnvironment);

// Dispatches the thread's messages until Done(), for as long as a loaded machine may need.
bool PumpUntil(const std::function<bool()>& Done) { return test::PumpUntil(Done, kPatience); }

std::vector<char> ReadBytes(const fs::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WindowText(HWND Window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(Window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(Window, text.data(), static_cast<int>(text.size()))));
  return Utf8FromWide(text);
}

std::string StatusText(HWND StatusBar, int Part) {
  const auto length = LOWORD(::SendMessageW(StatusBar, SB_GETTEXTLENGTHW, Part, 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(StatusBar, SB_GETTEXTW, Part, reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return Utf8FromWide(text);
}

// What the operator sees of the window at one moment.
struct TLook {
  bool SelectFile, PortButton, Begin, Exit;
  bool ProgressVisible;
  int ProgressPercent;
  bool PromptVisible, AnimationVisible;
};

// Intel HEX of Size bytes from address 0 (a counting pattern), 16 bytes a record.
std::string HexText(int Size) {
  std::string text;
  char line[64];
  for (int address = 0; address < Size; address += 16) {
    const int n = std::min(16, Size - address);
    unsigned sum = n + (address >> 8) + (address & 0xFF);
    std::snprintf(line, sizeof line, ":%02X%04X00", n, address);
    text += line;
    for (int i = 0; i < n; ++i) {
      const unsigned byte = (address + i) * 7 % 251;
      sum += byte;
      std::snprintf(line, sizeof line, "%02X", byte);
      text += line;
    }
    std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += line;
  }
  return text + ":00000001FF\r\n";
}

// The pop-up menu shown on this thread (its window and its items), read from a dispatcher timer that
// runs inside the menu's own loop; then the keys that choose item Choose (or Esc, when it is absent).
class TPopupMenuProbe {
 public:
  explicit TPopupMenuProbe(std::optional<std::string> Choose) : Choose_(std::move(Choose)) { Arm(); }
  std::vector<std::string> Items;
  std::vector<std::string> Checked;  // the items shown checked
  bool Seen = false;

 private:
  void Arm() {
    Timer_->Start(50ms, [this] { Probe(); });
  }
  void Probe() {
    HWND window = ::FindWindowW(L"#32768", nullptr);
    if (!window || !::IsWindowVisible(window)) {
      if (++Probes_ < 400) Arm();
      return;
    }
    Seen = true;
    const auto menu = reinterpret_cast<HMENU>(::SendMessageW(window, MN_GETHMENU, 0, 0));
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
      wchar_t caption[256] = L"";
      ::GetMenuStringW(menu, static_cast<UINT>(i), caption, 256, MF_BYPOSITION);
      Items.push_back(Utf8FromWide(caption));
      if (::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) Checked.push_back(Items.back());
    }
    const auto chosen = Choose_ ? std::find(Items.begin(), Items.end(), *Choose_) : Items.end();
    if (chosen == Items.end()) {
      Key(window, VK_ESCAPE);
      return;
    }
    for (auto i = Items.begin(); i <= chosen; ++i) Key(window, VK_DOWN);
    Key(window, VK_RETURN);
  }
  static void Key(HWND Window, UINT Key) {
    ::PostMessageW(Window, WM_KEYDOWN, Key, 1);
    ::PostMessageW(Window, WM_KEYUP, Key, 1u | (1u << 30) | (1u << 31));
  }
  std::unique_ptr<TUiTimer> Timer_ = UiDispatcher().CreateTimer();
  std::optional<std::string> Choose_;
  int Probes_ = 0;
};

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    Dir_ = fs::temp_directory_path() /
           ("hexloader-window-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial));
    fs::create_directories(Dir_);
    OldCurrent_ = fs::current_path();
    fs::current_path(Dir_);  // the image files go into the current directory
    InstallExceptionDisplay(Dialogs);
  }
  void TearDown() override {
    Form.reset();
    SetExceptionDisplay({});
    fs::current_path(OldCurrent_);
    std::error_code ignored;
    fs::remove_all(Dir_, ignored);
  }

  fs::path Path(const std::wstring& Name) const { return Dir_ / Name; }
  std::string Utf8Path(const std::wstring& Name) const { return Utf8FromWide(Path(Name).wstring()); }
  fs::path IniPath() const { return Path(L"hexloader.ini"); }

  // In UTF-16 with its mark, as the settings store starts a new file, so that any path fits.
  void WriteIni(const std::wstring& Text) const {
    std::ofstream out(IniPath(), std::ios::binary);
    out.write("\xFF\xFE", 2);
    for (wchar_t c : Text) {
      const char bytes[2] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
      out.write(bytes, 2);
    }
  }
  std::wstring IniValue(const wchar_t* Section) const {
    wchar_t value[1024] = L"";
    ::GetPrivateProfileStringW(Section, L"Name", L"", value, 1024, IniPath().wstring().c_str());
    return value;
  }
  // A HEX file of Size bytes of data from address 0; its full path.
  std::wstring WriteHex(const std::wstring& Name, int Size) const {
    std::ofstream(Path(Name), std::ios::binary) << HexText(Size);
    return Path(Name).wstring();
  }
  // Settings naming the test's port and the HEX file, plus More.
  void WriteSettings(const std::wstring& Hex, const std::wstring& More = L"") const {
    WriteIni(L"[PortName]\r\nName=" + WideFromUtf8(TestPort()) + L"\r\n[FileName]\r\nName=" + Hex + L"\r\n" + More);
  }

  // Builds Form1 (its start-up runs now, with the dialogs answered from Dialogs, or from Real) and
  // shows it.
  TWin32MainWindow& MakeForm(bool ShowIt = true, TDialogs* Real = nullptr) {
    TForm1Options options;
    options.IniPath = Utf8FromWide(IniPath().wstring());
    Form = std::make_unique<TWin32MainWindow>(Real ? *Real : static_cast<TDialogs&>(Dialogs), options);
    Form->SetOnClosed([this] { Closed = true; });
    if (ShowIt) Form->Show();
    return *Form;
  }

  // Sends a command as the toolbar (or the Port menu) sends it.
  void Press(int Command) {
    ::SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(Command, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Form->Toolbar1()));
  }
  bool Enabled(int Command) const { return ::SendMessageW(Form->Toolbar1(), TB_ISBUTTONENABLED, Command, 0) != 0; }
  TLook Look() const {
    return TLook{Enabled(cmd::ASelectFile),
                 Enabled(cmd::ToolButton2),
                 Enabled(cmd::ABegin),
                 Enabled(cmd::AExit),
                 ::IsWindowVisible(Form->ProgressBar1()) != FALSE,
                 static_cast<int>(::SendMessageW(Form->ProgressBar1(), PBM_GETPOS, 0, 0)),
                 ::IsWindowVisible(Form->Form2()) != FALSE,
                 ::IsWindowVisible(Form->Animate1()) != FALSE};
  }
  TUploadOutcome Outcome() const { return Form->Rules().Session().Outcome(); }

  // After a session that ended in a notice or a lost port: what the operator sees then.
  void ExpectReset() const {
    const TLook look = Look();
    EXPECT_TRUE(look.SelectFile && look.PortButton && look.Begin && look.Exit) << "the commands are not all back";
    EXPECT_FALSE(look.ProgressVisible);
    EXPECT_FALSE(look.AnimationVisible);
    EXPECT_FALSE(look.PromptVisible);
    EXPECT_EQ(int(Form->Rules().Session().Stage()), int(Idle));
  }

  // Waits for the device's memory file to hold the image the window made from Hex, and compares.
  void ExpectDeviceGotTheImage(const std::wstring& BinName) const {
    const std::vector<char> image = ReadBytes(Path(BinName));
    ASSERT_FALSE(image.empty()) << "no image " << Utf8FromWide(BinName);
    ASSERT_TRUE(PumpUntil([&] { return ReadBytes(DeviceMemory()).size() >= image.size(); }))
        << "the device wrote no memory file";
    const std::vector<char> memory = ReadBytes(DeviceMemory());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin())) << "the device's memory differs from the image";
  }

  TWin32ScriptedDialogs Dialogs;
  std::unique_ptr<TWin32MainWindow> Form;
  bool Closed = false;

 private:
  fs::path Dir_;
  fs::path OldCurrent_;
};

// The script starts a plain device: the port picked from the menu opens.
TEST_F(Win32Window, FirstRunAsksForTheFileBeforeTheWindowWithThePortMessageOverTheDialog) {
  const std::wstring hex = WriteHex(L"прошивка.hex", 300);
  Dialogs.FileAnswers = {Utf8FromWide(hex)};
  TWin32MainWindow& form = MakeForm(false);

  ASSERT_EQ(Dialogs.FileAsks.size(), 1u);
  EXPECT_EQ(Dialogs.FileAsks[0].Title, texts::OpenDialogTitle);
  EXPECT_EQ(Dialogs.FileAsks[0].FilterName, texts::OpenDialogFilterName);
  EXPECT_EQ(Dialogs.FileAsks[0].FilterPattern, texts::OpenDialogFilterPattern);
  EXPECT_EQ(Dialogs.FileAsks[0].DefaultExt, texts::OpenDialogDefaultExt);
  EXPECT_FALSE(Dialogs.ParentVisibleAtAsk[0]) << "the open dialog came after the window was shown";
  EXPECT_EQ(Dialogs.MessagesDuringFileDialog, std::vector<std::string>{texts::PortNotDefined});
  EXPECT_EQ(Dialogs.Messages, std::vector<std::string>{texts::PortNotDefined});
  EXPECT_FALSE(::IsWindowVisible(form.Handle()));

  form.Show();
  EXPECT_TRUE(::IsWindowVisible(form.Handle()));
  EXPECT_EQ(WindowText(form.Handle()), "прошивка.hex");
  EXPECT_EQ(StatusText(form.StatusBar1(), 0), "");
  EXPECT_EQ(form.Rules().HexFileName(), Utf8FromWide(hex));
  EXPECT_EQ(IniValue(L"FileName"), hex);
  const TLook look = Look();
  EXPECT_TRUE(look.SelectFile && look.PortButton && look.Begin && look.Exit);
  EXPECT_FALSE(look.ProgressVisible);
  EXPECT_FALSE(look.PromptVisible);
  EXPECT_FALSE(look.AnimationVisible);

  // Start with no port picked does nothing, and says nothing.
  Press(cmd::ABegin);
  PumpFor(200ms);
  EXPECT_FALSE(form.Rules().SerialComm1().IsOpen());
  EXPECT_EQ(Dialogs.Messages.size(), 1u);

  // The Port button's menu: the prefix's ports, sorted; choosing ours opens it, names it in the pane
  // and keeps it.
  TPopupMenuProbe menu(TestPort());
  Press(cmd::ToolButton2);
  EXPECT_TRUE(menu.Seen) << "no menu was shown";
  EXPECT_TRUE(std::is_sorted(menu.Items.begin(), menu.Items.end())) << "the Port menu is not sorted";
  EXPECT_EQ(menu.Items, form.PortMenuItems());
  EXPECT_TRUE(Dialogs.Errors.empty()) << Dialogs.Errors.front();
  EXPECT_TRUE(form.Rules().SerialComm1().IsOpen());
  EXPECT_EQ(StatusText(form.StatusBar1(), 0), TestPort());
  EXPECT_EQ(IniValue(L"PortName"), WideFromUtf8(TestPort()));
}

// The same start-up with the system's own dialogs: the posted message shows inside the open dialog's
// loop and over it, before the main window is shown. (The script starts a plain device.)
TEST_F(Win32Window, FirstRunWithTheRealDialogsShowsThePortMessageOverTheOpenDialog) {
  const std::wstring hex = WriteHex(L"прошивка.hex", 300);
  TWin32Dialogs real;
  bool messageOverTheDialog = false;
  bool windowShownDuringTheDialog = true;
  TDialogProbe message(UiDispatcher(), texts::ApplicationTitle, std::vector<TDialogProbe::TStep>{[&](HWND Box) {
                         HWND openDialog = ShownDialog(texts::OpenDialogTitle);
                         if (!openDialog)
                           return false;  // the message may come while the open dialog is still being made
                         EXPECT_EQ(Text(::GetDlgItem(Box, MessageDialogTextId)), texts::PortNotDefined);
                         for (HWND below = ::GetWindow(Box, GW_HWNDNEXT); below;
                              below = ::GetWindow(below, GW_HWNDNEXT))
                           if (below == openDialog) messageOverTheDialog = true;
                         HWND form = ::FindWindowW(L"TForm1", nullptr);
                         windowShownDuringTheDialog = form && ::IsWindowVisible(form);
                         ::PostMessageW(Box, WM_COMMAND, IDOK, 0);
                         return true;
                       }});
  TDialogProbe open(UiDispatcher(), texts::OpenDialogTitle, std::vector<TDialogProbe::TStep>{[&](HWND Dialog) {
                      if (!message.Acted() || ShownDialog(texts::ApplicationTitle)) return false;  // the message first
                      HWND box = ::GetDlgItem(Dialog, cmb13);
                      if (!box) box = ::GetDlgItem(Dialog, edt1);
                      ::SetWindowTextW(box, hex.c_str());
                      ::PostMessageW(Dialog, WM_COMMAND, IDOK, 0);
                      return true;
                    }});
  TWin32MainWindow& form = MakeForm(false, &real);
  EXPECT_TRUE(message.Acted()) << "the port message was not seen with the open dialog";
  EXPECT_TRUE(open.Acted()) << "the open dialog was not answered";
  EXPECT_FALSE(message.GaveUp() || open.GaveUp());
  EXPECT_TRUE(messageOverTheDialog) << "the message was under the open dialog";
  EXPECT_FALSE(windowShownDuringTheDialog);
  form.Show();
  EXPECT_EQ(WindowText(form.Handle()), "прошивка.hex");
  EXPECT_EQ(form.Rules().HexFileName(), Utf8FromWide(hex));
  EXPECT_TRUE(Dialogs.Errors.empty()) << Dialogs.Errors.front();
}

// The script starts a device paced at 19200 bit/s that writes its memory at the end frame.
TEST_F(Win32Window, WholeUploadThroughThePortLeavesTheImageInTheDevice) {
  WriteSettings(WriteHex(L"firmware.hex", 2000));
  TWin32MainWindow& form = MakeForm();
  EXPECT_TRUE(Dialogs.FileAsks.empty());
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(WindowText(form.Handle()), "firmware.hex");
  EXPECT_EQ(StatusText(form.StatusBar1(), 0), TestPort());

  Press(cmd::ABegin);
  ASSERT_TRUE(Dialogs.Errors.empty()) << Dialogs.Errors.front();
  EXPECT_TRUE(form.Rules().SerialComm1().IsOpen());

  std::vector<TLook> seen;
  ASSERT_TRUE(PumpUntil([&] {
    seen.push_back(Look());
    return Outcome() != TUploadOutcome::None;
  })) << "the upload did not end";
  ASSERT_EQ(int(Outcome()), int(TUploadOutcome::Finished));

  // During the transfer: the commands but Exit disabled, the bar shown and rising, the prompt gone
  // (counted over every look, so that a fault is named once).
  std::vector<int> percents;
  int exitDisabled = 0, otherCommandEnabled = 0, barHidden = 0, animationHidden = 0, promptShown = 0;
  for (const TLook& look : seen) {
    exitDisabled += !look.Exit;
    if (look.Begin) continue;
    otherCommandEnabled += look.SelectFile || look.PortButton;
    barHidden += !look.ProgressVisible;
    animationHidden += !look.AnimationVisible;
    promptShown += look.PromptVisible;
    percents.push_back(look.ProgressPercent);
  }
  EXPECT_EQ(exitDisabled, 0) << "Exit was disabled";
  EXPECT_EQ(otherCommandEnabled, 0) << "File or the Port button enabled during the transfer";
  EXPECT_EQ(barHidden, 0) << "the progress bar hidden during the transfer";
  EXPECT_EQ(animationHidden, 0) << "the animation hidden during the transfer";
  EXPECT_EQ(promptShown, 0) << "the prompt still up during the transfer";
  ASSERT_FALSE(percents.empty()) << "the commands were never disabled";
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << "the bar went back";
  EXPECT_TRUE(std::any_of(percents.begin(), percents.end(), [](int P) { return P > 0 && P < 100; }))
      << "no position between the ends was seen";
  EXPECT_TRUE(seen.front().PromptVisible) << "no prompt while waiting for the device";

  ExpectReset();
  EXPECT_EQ(Look().ProgressPercent, 100);
  EXPECT_TRUE(form.Rules().SerialComm1().IsOpen()) << "the port stays open after the session";
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_TRUE(Dialogs.Errors.empty());
  ExpectDeviceGotTheImage(L"firmware.BIN");
}

// The script starts a device that answers data frame 2 (frame 4) wrongly.
TEST_F(Win32Window, WrongReplyShowsTheNoticeAndResetsTheWindow) {
  WriteSettings(WriteHex(L"firmware.hex", 1000));
  TWin32MainWindow& form = MakeForm();
  Press(cmd::ABegin);
  ASSERT_TRUE(PumpUntil([&] { return Outcome() != TUploadOutcome::None; }));
  EXPECT_EQ(int(Outcome()), int(TUploadOutcome::ReplyError));
  EXPECT_EQ(Dialogs.Messages, std::vector<std::string>{ReplyErrorText});
  EXPECT_TRUE(Dialogs.Errors.empty());
  ExpectReset();
  EXPECT_TRUE(form.Rules().SerialComm1().IsOpen());
}

// The script starts a device that falls silent from frame 5 on.
TEST_F(Win32Window, SilentDeviceShowsTheNoticeAndTheNextStartWaitsForTheHello) {
  WriteSettings(WriteHex(L"firmware.hex", 2000), L"[Upload]\r\nReplyTimeoutMs=700\r\n");
  TWin32MainWindow& form = MakeForm();
  Press(cmd::ABegin);
  ASSERT_TRUE(PumpUntil([&] { return Outcome() != TUploadOutcome::None; }));
  EXPECT_EQ(int(Outcome()), int(TUploadOutcome::Silent));
  EXPECT_EQ(Dialogs.Messages, std::vector<std::string>{NoReplyText});
  EXPECT_TRUE(Dialogs.Errors.empty());
  ExpectReset();
  EXPECT_TRUE(form.Rules().SerialComm1().IsOpen());

  Press(cmd::ABegin);
  EXPECT_TRUE(Look().PromptVisible) << "the next Start does not wait for the hello";
  EXPECT_TRUE(Dialogs.Errors.empty());
}

// The script starts a device that hangs the line up at frame 3 and, once it has gone, a plain one
// that writes its memory.
TEST_F(Win32Window, HungUpLineShowsOneBoxThenStartUploadsAgain) {
  WriteSettings(WriteHex(L"firmware.hex", 1000));
  TWin32MainWindow& form = MakeForm();
  Press(cmd::ABegin);
  ASSERT_TRUE(PumpUntil([&] { return !Dialogs.Errors.empty(); })) << "no box for the lost device";
  PumpFor(1s);  // a second box would come now
  EXPECT_EQ(Dialogs.Errors.size(), 1u);
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_FALSE(form.Rules().SerialComm1().IsOpen()) << "the lost port was not closed";
  ExpectReset();
  EXPECT_EQ(StatusText(form.StatusBar1(), 0), TestPort()) << "the pane forgot the port";

  ASSERT_TRUE(PumpUntil([] { return fs::exists(DeviceBack()); })) << "the device did not come back";
  Press(cmd::ABegin);
  ASSERT_TRUE(PumpUntil([&] { return Outcome() == TUploadOutcome::Finished || Dialogs.Errors.size() > 1; }));
  EXPECT_EQ(Dialogs.Errors.size(), 1u) << Dialogs.Errors.back();
  EXPECT_EQ(int(Outcome()), int(TUploadOutcome::Finished));
  ExpectDeviceGotTheImage(L"firmware.BIN");
}

// The script starts a device that falls silent from frame 5 on (the default reply time-out is longer
// than the test needs).
TEST_F(Win32Window, ExitDuringAnUploadClosesTheWindowThePortAndTheImage) {
  WriteSettings(WriteHex(L"firmware.hex", 2000));
  TWin32MainWindow& form = MakeForm();
  Press(cmd::ABegin);
  ASSERT_TRUE(PumpUntil([&] { return form.Rules().Session().FrameCount() >= 2; }));
  EXPECT_FALSE(Enabled(cmd::ABegin));
  EXPECT_TRUE(Enabled(cmd::AExit));
  Press(cmd::AExit);
  EXPECT_TRUE(Closed);
  EXPECT_TRUE(form.IsClosed());
  EXPECT_FALSE(form.Rules().SerialComm1().IsOpen());
  EXPECT_FALSE(form.Rules().Session().ImageOpen());
  PumpFor(300ms);
  EXPECT_TRUE(Dialogs.Errors.empty());
  EXPECT_TRUE(Dialogs.Messages.empty());
}

// The program's taskbar entry is a window of its own titled with the application's title, which owns
// the main window; the main window keeps its caption and has no button of its own, and minimizing it
// goes through the entry. (The script starts a plain device.)
TEST_F(Win32Window, TaskbarEntryCarriesTheTitleAndStandsForTheWindow) {
  WriteSettings(WriteHex(L"firmware.hex", 100));
  TWin32MainWindow& form = MakeForm();
  HWND owner = ::GetWindow(form.Handle(), GW_OWNER);
  ASSERT_EQ(owner, form.TaskbarOwner());
  EXPECT_EQ(WindowText(owner), texts::ApplicationTitle);
  EXPECT_EQ(WindowText(form.Handle()), "firmware.hex");
  // What gives a window a taskbar button: shown and unowned and no tool window, or WS_EX_APPWINDOW.
  EXPECT_TRUE(::IsWindowVisible(owner));
  EXPECT_EQ(::GetWindow(owner, GW_OWNER), nullptr);
  EXPECT_EQ(::GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(::GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0) << "a second button";
  RECT size;
  ::GetWindowRect(owner, &size);
  EXPECT_EQ(size.right - size.left, 0) << "the entry's window shows on the screen";

  // Activated from the taskbar, the entry hands on to the main window.
  ::SetActiveWindow(owner);
  EXPECT_TRUE(PumpUntil([&] { return ::GetActiveWindow() == form.Handle(); })) << "the window was not activated";

  ::SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(PumpUntil([&] { return ::IsIconic(owner) && !::IsWindowVisible(form.Handle()); }))
      << "minimized, the window did not go to its entry";
  ::SendMessageW(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsIconic(owner) && ::IsWindowVisible(form.Handle()); }))
      << "the entry did not bring the window back";
  // The same from the taskbar's side: a click on the active program's button minimizes the entry.
  ::SendMessageW(owner, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(PumpUntil([&] { return ::IsIconic(owner) && !::IsWindowVisible(form.Handle()); }))
      << "minimized from the taskbar, the window stayed";
  ::SendMessageW(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsIconic(owner) && ::IsWindowVisible(form.Handle()); }));

  // Closing the entry (its taskbar menu) closes the program.
  ::SendMessageW(owner, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(PumpUntil([&] { return Closed; }));
  EXPECT_FALSE(::IsWindowVisible(owner)) << "the button stayed after the window closed";
}

// The keys run the commands through the window's own translation, as the program's message loop
// hands them over; a disabled command's key does nothing. (The script starts a device that falls
// silent from frame 5 on.)
TEST_F(Win32Window, KeysRunTheCommandsAsTheButtonsDo) {
  WriteSettings(WriteHex(L"firmware.hex", 100));
  const std::wstring other = WriteHex(L"other.hex", 2000);
  TWin32MainWindow& form = MakeForm();
  // A key as the message loop gets it, with the keyboard state the translation reads (Modifier held:
  // VK_CONTROL, or VK_MENU for Alt, whose keys come as system keys).
  const auto key = [&](UINT Key, UINT Modifier = 0) {
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    if (Modifier) state[Modifier] = 0x80;
    ::SetKeyboardState(state);
    const bool alt = Modifier == VK_MENU;
    MSG message{form.Handle(),           alt ? UINT(WM_SYSKEYDOWN) : UINT(WM_KEYDOWN), Key,
                alt ? 1 | (1 << 29) : 1, static_cast<DWORD>(::GetMessageTime()),       {}};
    const bool translated = form.TranslateKeys(message);
    if (Modifier) state[Modifier] = 0;
    ::SetKeyboardState(state);
    return translated;
  };

  // Ctrl+O: the open dialog, answered here.
  Dialogs.FileAnswers = {Utf8FromWide(other)};
  EXPECT_TRUE(key('O', VK_CONTROL));
  EXPECT_EQ(Dialogs.FileAsks.size(), 1u);
  EXPECT_EQ(form.Rules().HexFileName(), Utf8FromWide(other));
  EXPECT_FALSE(key('O')) << "O alone is no key of the window's";

  // F4: the Port menu with the port in use checked; Esc closes it.
  TPopupMenuProbe menu(std::nullopt);
  EXPECT_TRUE(key(VK_F4));
  EXPECT_TRUE(menu.Seen) << "no menu was shown";
  EXPECT_EQ(menu.Checked, std::vector<std::string>{TestPort()});

  // Alt+F4 is not the Port menu's key: it goes on to close the window, as before.
  EXPECT_FALSE(key(VK_F4, VK_MENU));

  // F5: Start; during the transfer it does nothing.
  EXPECT_TRUE(key(VK_F5));
  EXPECT_TRUE(Look().PromptVisible || form.Rules().Session().Stage() != Idle) << "F5 did not start";
  ASSERT_TRUE(PumpUntil([&] { return form.Rules().Session().FrameCount() >= 2; }));
  EXPECT_FALSE(Enabled(cmd::ABegin));
  key(VK_F5);
  EXPECT_FALSE(Look().PromptVisible) << "F5 started again during the transfer";
  EXPECT_TRUE(Dialogs.Errors.empty());
}

}  // namespace
}  // namespace hexloader::test
