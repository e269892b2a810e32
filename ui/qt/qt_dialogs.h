#pragma once
// The real dialogs.
#include <memory>

#include "ui/dialogs.h"

class QFileDialog;
class QWidget;

namespace hexloader {

class TQtDialogs final : public TDialogs {
 public:
  std::optional<std::string> AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) override;
  void ShowMessage(const std::string& Text) override;
  void ShowError(const std::string& Text) override;
};

// The file-open dialog for Request, built as AskOpenFile shows it (not yet shown).
std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* Parent, const TOpenDialogRequest& Request);

// Sets the central exception display to show ExceptionDisplayText of the message through
// Dialogs.ShowError, after cancelling any mouse capture. Dialogs must outlive the hook (reset it
// with SetExceptionDisplay({}) before Dialogs goes).
void InstallExceptionDisplay(TDialogs& Dialogs);

}  // namespace hexloader
