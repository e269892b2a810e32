// The real Win32 dialogs, shown on a display and answered from inside their own modal loops (a timer
// of the dispatcher finds the dialog among the thread's windows, reads it back and presses its keys).
// Run by wine-desktop-run.sh under Xvfb.
#include "ui/win32/win32_dialogs.h"

#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/exception_display.h"
#include "core/wide_text_win32.h"
#include "tests/win32/dialog_probe.h"
#include "ui/app_texts.h"
#include "ui/win32/win32_message_dialog.h"
#include "ui/win32/win32_ui_dispatcher.h"

namespace hexloader::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Win32Dialogs : public ::testing::Test {
 protected:
  void SetUp() override { SetUiDispatcher(&Dispatcher); }
  void TearDown() override {
    SetExceptionDisplay({});
    SetUiDispatcher(nullptr);
  }
  TWin32UiDispatcher Dispatcher;
  TWin32Dialogs Dialogs;
};

struct TMessageCase {
  const char* Name;
  std::string Text;
  bool Wraps;
  UINT CloseKey;  // 0: the close box
};

class Win32MessageDialog : public Win32Dialogs, public ::testing::WithParamInterface<TMessageCase> {};

TEST_P(Win32MessageDialog, TitledWrappedAtHalfTheScreenCentredWithOneDefaultOk) {
  const TMessageCase& c = GetParam();
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  TDialogProbe probe(Dispatcher, texts::ApplicationTitle, [&](HWND Dialog) {
    HWND text = ::GetDlgItem(Dialog, MessageDialogTextId);
    HWND ok = ::GetDlgItem(Dialog, IDOK);
    ASSERT_NE(text, nullptr);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(Text(text), c.Text);
    EXPECT_EQ(Text(ok), texts::OkButton);
    EXPECT_EQ(Children(Dialog).size(), 2u) << "more than the text and the button (an icon?)";
    const LRESULT defaultId = ::SendMessageW(Dialog, DM_GETDEFID, 0, 0);
    EXPECT_EQ(HIWORD(defaultId), DC_HASDEFID);
    EXPECT_EQ(LOWORD(defaultId), IDOK);
    EXPECT_EQ(::GetFocus(), ok);

    RECT place;
    ::GetWindowRect(text, &place);
    EXPECT_LE(place.right - place.left, screenWidth / 2);
    HDC dc = ::GetDC(text);
    HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(text, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, previous);
    ::ReleaseDC(text, dc);
    EXPECT_EQ(place.bottom - place.top >= 2 * metrics.tmHeight, c.Wraps) << "height " << place.bottom - place.top;

    RECT frame;
    ::GetWindowRect(Dialog, &frame);
    EXPECT_LE(std::abs(frame.left + frame.right - screenWidth), 1) << "not centred across";
    EXPECT_LE(std::abs(frame.top + frame.bottom - screenHeight), 1) << "not centred down";

    if (c.CloseKey) PressKey(c.CloseKey);
    else ::PostMessageW(Dialog, WM_CLOSE, 0, 0);
  });
  Dialogs.ShowMessage(c.Text);
  EXPECT_TRUE(probe.Acted()) << "the dialog was never seen";
  EXPECT_FALSE(probe.GaveUp()) << "the dialog did not close";
}

std::string Repeated(const std::string& Part, int Times) {
  std::string text;
  for (int i = 0; i < Times; ++i) text += Part;
  return text;
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, Win32MessageDialog,
    ::testing::Values(TMessageCase{"ShortClosedWithEnter", texts::PortNotDefined, false, VK_RETURN},
                      TMessageCase{"LongSentenceClosedWithEsc", Repeated("Длинное сообщение о порте. ", 60), true, VK_ESCAPE},
                      TMessageCase{"LongPathClosedWithTheCloseBox", "C:\\" + Repeated("папка\\", 80) + "прошивка.hex", true, 0}),
    [](const ::testing::TestParamInfo<TMessageCase>& I) { return std::string(I.param.Name); });
// clang-format on

TEST_F(Win32Dialogs, ExceptionDisplayShowsTheStopBoxWithTheFullStopRuleAndNoCapture) {
  InstallExceptionDisplay(Dialogs);
  HWND captured = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(captured, nullptr);
  ::SetCapture(captured);
  HICON stop = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32513));  // IDI_HAND, the stop icon
  TDialogProbe probe(Dispatcher, texts::ApplicationTitle, [&](HWND Box) {
    EXPECT_EQ(::GetCapture(), nullptr) << "the mouse capture was kept";
    bool textSeen = false, stopIconSeen = false;
    int buttons = 0;
    for (HWND child : Children(Box)) {
      if (Text(child) == "Порт занят.") textSeen = true;
      if (ClassOf(child) == "Button") ++buttons;
      const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
      if (ClassOf(child) == "Static" && (style & SS_TYPEMASK) == SS_ICON &&
          reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) == stop)
        stopIconSeen = true;
    }
    EXPECT_TRUE(textSeen) << "the message with its full stop is not in the box";
    EXPECT_TRUE(stopIconSeen) << "no stop icon";
    EXPECT_EQ(buttons, 1);
    PressKey(VK_RETURN);
  });
  ShowException(std::make_exception_ptr(Exception("Порт занят")));
  EXPECT_TRUE(probe.Acted()) << "the box was never seen";
  EXPECT_FALSE(probe.GaveUp()) << "the box did not close";
  ::DestroyWindow(captured);
}

class Win32OpenDialog : public Win32Dialogs {
 protected:
  void SetUp() override {
    Win32Dialogs::SetUp();
    Folder_ = fs::temp_directory_path() / (L"выбор файла " + std::to_wstring(::GetCurrentProcessId()));
    fs::create_directories(Folder_);
    std::ofstream(Folder_ / L"прошивка.hex") << ":00000001FF\n";
    std::ofstream(Folder_ / L"readme.txt") << "not a HEX file\n";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(Folder_, ignored);
    Win32Dialogs::TearDown();
  }
  static TOpenDialogRequest Request() {
    return {texts::OpenDialogTitle, texts::OpenDialogFilterName, texts::OpenDialogFilterPattern,
            texts::OpenDialogDefaultExt};
  }
  // Types Name into the dialog's file-name box and presses Open.
  static void Choose(HWND Dialog, const std::wstring& Name) {
    HWND box = ::GetDlgItem(Dialog, cmb13);
    if (!box) box = ::GetDlgItem(Dialog, edt1);
    ASSERT_NE(box, nullptr) << "no file-name box";
    ::SetWindowTextW(box, Name.c_str());
    ::PostMessageW(Dialog, WM_COMMAND, IDOK, 0);
  }
  fs::path Folder_;
};

// (A name typed without its extension is not tried with the default one by wine's dialog when the file
// must exist, as Windows does: that is not checked here.)
TEST_F(Win32OpenDialog, AFileInACyrillicFolderComesBackAsItsFullPathAndTheCurrentFolderStays) {
  const fs::path before = fs::current_path();
  std::string filterShown;
  // Into the folder first (a folder's path typed and Open pressed goes there), then the file's name.
  TDialogProbe probe(Dispatcher, texts::OpenDialogTitle,
                     {[&](HWND Dialog) {
                        if (HWND types = ::GetDlgItem(Dialog, cmb1)) {
                          std::wstring item(256, L'\0');
                          const LRESULT n =
                              ::SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item.data()));
                          if (n > 0) filterShown = Utf8FromWide(item.substr(0, static_cast<std::size_t>(n)));
                        }
                        Choose(Dialog, Folder_.wstring());
                        return true;
                      },
                      [&](HWND Dialog) {
                        Choose(Dialog, L"прошивка.hex");
                        return true;
                      }});
  const std::optional<std::string> chosen = Dialogs.AskOpenFile(nullptr, Request());
  EXPECT_TRUE(probe.Acted()) << "the dialog was never seen";
  ASSERT_TRUE(chosen.has_value()) << "the dialog was cancelled";
  EXPECT_EQ(*chosen, Utf8FromWide((Folder_ / L"прошивка.hex").wstring()));
  EXPECT_EQ(filterShown.rfind(texts::OpenDialogFilterName, 0), 0u) << "filter shown as '" << filterShown << "'";
  EXPECT_EQ(fs::current_path(), before) << "the dialog moved the current folder";
}

TEST_F(Win32OpenDialog, CancelGivesNothing) {
  TDialogProbe probe(Dispatcher, texts::OpenDialogTitle,
                     [](HWND Dialog) { ::PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_EQ(Dialogs.AskOpenFile(nullptr, Request()), std::nullopt);
  EXPECT_TRUE(probe.Acted()) << "the dialog was never seen";
}

}  // namespace
}  // namespace hexloader::test
