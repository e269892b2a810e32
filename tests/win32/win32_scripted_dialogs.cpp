#include "tests/win32/win32_scripted_dialogs.h"

#include <windows.h>

namespace hexloader::test {

std::optional<std::string> TWin32ScriptedDialogs::AskOpenFile(TDialogParent Parent,
                                                              const TOpenDialogRequest& Request) {
  FileAsks.push_back(Request);
  ParentVisibleAtAsk.push_back(Parent && ::IsWindowVisible(static_cast<HWND>(Parent)));
  InFileDialog_ = true;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  InFileDialog_ = false;
  if (FileAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = FileAnswers.front();
  FileAnswers.pop_front();
  return answer;
}

void TWin32ScriptedDialogs::ShowMessage(const std::string& Text) {
  Messages.push_back(Text);
  if (InFileDialog_) MessagesDuringFileDialog.push_back(Text);
}

}  // namespace hexloader::test
