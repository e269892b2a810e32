// hexloader: the operator's window. It reads no arguments (Qt is not given them either); its only
// configuration is the settings INI file, beside the executable, or in the user's configuration folder
// when the program is installed under /usr (the environment only says where that folder is).
#include "app/gui_session.h"
#include "core/file_size_signal.h"
#include "ui/qt/guarded_application.h"

int main(int, char** argv) {
  hexloader::IgnoreFileSizeSignal();
  int qtArgc = 1;
  hexloader::TGuardedApplication app(qtArgc, argv);
  hexloader::TGuiSession session;
  return hexloader::RunMainWindow(session.Dialogs(), {});
}
