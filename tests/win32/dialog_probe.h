#pragma once
// Finding the thread's dialogs and answering them from inside their own modal loops, for the tests of
// the real Win32 dialogs and windows.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/ui_dispatcher.h"

namespace hexloader::test {

std::string Text(HWND Window);
std::string ClassOf(HWND Window);
std::vector<HWND> Children(HWND Parent);
// The shown dialog of this thread with that caption, if any.
HWND ShownDialog(const std::string& Caption);
// Closes every dialog of this thread that is shown; false when there was none.
bool CloseShownDialogs();
// A key pressed on the focused control, as the dialog's own loop gets it.
void PressKey(UINT Key);

// Looks for the dialog captioned Caption from a dispatcher timer, which runs inside the dialog's
// modal loop, and runs the steps on it, one a probe, while it is shown; a step that returns false is
// tried again at the next probe. A dialog still up after 20 s (and any box over it) is closed, so
// that a fault fails the test instead of hanging it.
class TDialogProbe {
 public:
  using TStep = std::function<bool(HWND)>;
  TDialogProbe(TUiDispatcher& Dispatcher, std::string Caption, std::vector<TStep> Steps);
  TDialogProbe(TUiDispatcher& Dispatcher, std::string Caption, const std::function<void(HWND)>& Step);
  bool Acted() const { return Next_ == Steps_.size(); }
  bool GaveUp() const { return GaveUp_; }

 private:
  void Arm();
  void Probe();

  std::unique_ptr<TUiTimer> Timer_;
  std::string Caption_;
  std::vector<TStep> Steps_;
  std::size_t Next_ = 0;
  bool GaveUp_ = false;
  int Probes_ = 0;
};

}  // namespace hexloader::test
