#pragma once
// The modal dialogs of the program, behind an interface so that tests can answer them.
#include <optional>
#include <string>

namespace hexloader {

struct TOpenDialogRequest {
  std::string Title;
  std::string FilterName;     // the filter's description
  std::string FilterPattern;  // its pattern
  std::string DefaultExt;     // added when the operator types a name without one
};

// The window a dialog is shown over, as the toolkit knows it (a QWidget*, an HWND); null when the
// main window is not shown yet, and the dialog then stands alone.
using TDialogParent = void*;

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // The file-open dialog: the chosen file's full path, or nothing when the operator cancels.
  virtual std::optional<std::string> AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) = 0;
  // The plain message dialog: application title, wrapped text, no icon, one OK button.
  virtual void ShowMessage(const std::string& Text) = 0;
  // The central exception display's box: application title, Text as given, stop icon, OK.
  virtual void ShowError(const std::string& Text) = 0;
};

}  // namespace hexloader
