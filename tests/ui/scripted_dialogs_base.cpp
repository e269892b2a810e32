#include "tests/ui/scripted_dialogs_base.h"

namespace hexloader::test {

std::optional<std::string> TScriptedDialogsBase::AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) {
  FileAsks.push_back(Request);
  ParentVisibleAtAsk.push_back(Parent && IsVisible(Parent));
  InFileDialog_ = true;
  RunPendingEvents();
  InFileDialog_ = false;
  if (FileAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = FileAnswers.front();
  FileAnswers.pop_front();
  return answer;
}

void TScriptedDialogsBase::ShowMessage(const std::string& Text) {
  Messages.push_back(Text);
  if (InFileDialog_) MessagesDuringFileDialog.push_back(Text);
}

}  // namespace hexloader::test
