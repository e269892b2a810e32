#include "tests/ui/scripted_dialogs.h"

#include <QWidget>

namespace hexloader::test {

std::optional<std::string> TScriptedDialogs::AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) {
  FileAsks.push_back(Request);
  ParentVisibleAtAsk.push_back(Parent && static_cast<QWidget*>(Parent)->isVisible());
  InFileDialog_ = true;
  QCoreApplication::processEvents();
  InFileDialog_ = false;
  if (FileAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = FileAnswers.front();
  FileAnswers.pop_front();
  return answer;
}

void TScriptedDialogs::ShowMessage(const std::string& Text) {
  Messages.push_back(Text);
  if (InFileDialog_) MessagesDuringFileDialog.push_back(Text);
}

}  // namespace hexloader::test
