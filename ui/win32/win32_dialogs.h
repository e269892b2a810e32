#pragma once
// The real dialogs on Win32: the system's open dialog, the plain message dialog and the system's
// message box for errors. Texts cross to the system as UTF-16.
#include "ui/dialogs.h"

namespace hexloader {

class TWin32Dialogs final : public TDialogs {
 public:
  // GetOpenFileNameW over Parent (an HWND, or none): an existing file, its full path in UTF-8 (long
  // paths too). The current directory stays as it was. Raises hexloader::Exception when the dialog
  // cannot be shown.
  std::optional<std::string> AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) override;
  // The plain message dialog over the thread's active window (or, when none is active yet, its
  // foremost shown window).
  void ShowMessage(const std::string& Text) override;
  // MessageBoxW: application title, Text, stop icon, OK; over the same window as a message, or modal
  // to the whole thread when there is none.
  void ShowError(const std::string& Text) override;
};

// Sets the central exception display to show ExceptionDisplayText of the message through
// Dialogs.ShowError, after cancelling any mouse capture. Dialogs must outlive the hook (reset it
// with SetExceptionDisplay({}) before Dialogs goes).
void InstallExceptionDisplay(TDialogs& Dialogs);

}  // namespace hexloader
