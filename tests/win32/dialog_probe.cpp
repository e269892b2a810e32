#include "tests/win32/dialog_probe.h"

#include <gtest/gtest.h>

#include <chrono>

#include "core/wide_text_win32.h"

namespace hexloader::test {
namespace {

constexpr std::chrono::milliseconds kProbeEvery{50};
constexpr int kGiveUpAfterProbes = 400;  // 20 s

}  // namespace

std::string Text(HWND Window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(Window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(Window, text.data(), static_cast<int>(text.size()))));
  return Utf8FromWide(text);
}

std::string ClassOf(HWND Window) {
  wchar_t name[64] = L"";
  ::GetClassNameW(Window, name, 64);
  return Utf8FromWide(name);
}

std::vector<HWND> Children(HWND Parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(
      Parent,
      [](HWND Child, LPARAM Param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(Param)->push_back(Child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND ShownDialog(const std::string& Caption) {
  struct TSearch {
    std::string Caption;
    HWND Found = nullptr;
  } search{Caption};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND Window, LPARAM Param) -> BOOL {
        auto& s = *reinterpret_cast<TSearch*>(Param);
        if (!::IsWindowVisible(Window) || ClassOf(Window) != "#32770" || Text(Window) != s.Caption) return TRUE;
        s.Found = Window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

bool CloseShownDialogs() {
  bool any = false;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND Window, LPARAM Param) -> BOOL {
        if (::IsWindowVisible(Window) && ClassOf(Window) == "#32770") {
          ::PostMessageW(Window, WM_CLOSE, 0, 0);
          *reinterpret_cast<bool*>(Param) = true;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&any));
  return any;
}

void PressKey(UINT Key) {
  HWND focus = ::GetFocus();
  ASSERT_NE(focus, nullptr) << "nothing has the focus";
  ::PostMessageW(focus, WM_KEYDOWN, Key, 1);
  ::PostMessageW(focus, WM_KEYUP, Key, 1u | (1u << 30) | (1u << 31));
}

TDialogProbe::TDialogProbe(TUiDispatcher& Dispatcher, std::string Caption, std::vector<TStep> Steps)
    : Timer_(Dispatcher.CreateTimer()), Caption_(std::move(Caption)), Steps_(std::move(Steps)) {
  Arm();
}

TDialogProbe::TDialogProbe(TUiDispatcher& Dispatcher, std::string Caption, const std::function<void(HWND)>& Step)
    : TDialogProbe(Dispatcher, std::move(Caption), std::vector<TStep>{[Step](HWND Dialog) {
                     Step(Dialog);
                     return true;
                   }}) {}

void TDialogProbe::Arm() {
  Timer_->Start(kProbeEvery, [this] { Probe(); });
}

void TDialogProbe::Probe() {
  if (++Probes_ > kGiveUpAfterProbes) {
    GaveUp_ = true;
    if (CloseShownDialogs()) Arm();
    return;
  }
  HWND dialog = ShownDialog(Caption_);
  if (dialog && Next_ < Steps_.size() && Steps_[Next_](dialog)) ++Next_;
  if (dialog || Next_ == 0) Arm();  // until the dialog has gone
}

}  // namespace hexloader::test
