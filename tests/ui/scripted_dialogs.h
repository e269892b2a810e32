#pragma once
// Dialogs the tests answer: file questions answered from a script, messages and error boxes recorded.
// The file dialog runs the pending events as a real modal dialog's own loop would.
#include <QCoreApplication>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace hexloader::test {

class TScriptedDialogs final : public TDialogs {
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
