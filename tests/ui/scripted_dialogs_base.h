#pragma once
// Dialogs the window tests answer, for every toolkit: file questions answered from a script, messages
// and error boxes recorded. The file dialog runs the pending events as a real modal dialog's own loop
// would, so that what is posted meanwhile (the pending message) shows over it; each toolkit's tests
// say how to run them and whether a parent window is visible.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace hexloader::test {

class TScriptedDialogsBase : public TDialogs {
 public:
  std::deque<std::optional<std::string>> FileAnswers;  // empty: the operator cancels
  std::vector<TOpenDialogRequest> FileAsks;
  std::vector<bool> ParentVisibleAtAsk;
  std::vector<std::string> Messages;
  std::vector<std::string> MessagesDuringFileDialog;
  std::vector<std::string> Errors;

  std::optional<std::string> AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) final;
  void ShowMessage(const std::string& Text) final;
  void ShowError(const std::string& Text) final { Errors.push_back(Text); }

 protected:
  virtual bool IsVisible(TDialogParent Parent) const = 0;
  virtual void RunPendingEvents() = 0;

 private:
  bool InFileDialog_ = false;
};

}  // namespace hexloader::test
