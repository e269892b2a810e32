#pragma once
// Dialogs the Win32 window tests answer: file questions answered from a script, messages and error
// boxes recorded. The file dialog dispatches the thread's waiting messages as the real dialog's own
// modal loop would, so that what is posted meanwhile (the pending message) shows over it.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace hexloader::test {

class TWin32ScriptedDialogs final : public TDialogs {
 public:
  std::deque<std::optional<std::string>> FileAnswers;  // empty: the operator cancels
  std::vector<TOpenDialogRequest> FileAsks;
  std::vector<bool> ParentVisibleAtAsk;
  std::vector<std::string> Messages;
  std::vector<std::string> MessagesDuringFileDialog;
  std::vector<std::string> Errors;

  std::optional<std::string> AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) override;
  void ShowMessage(const std::string& Text) override;
  void ShowError(const std::string& Text) override { Errors.push_back(Text); }

 private:
  bool InFileDialog_ = false;
};

}  // namespace hexloader::test
