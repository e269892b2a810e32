// hexloader: the operator's window. It reads no arguments (Qt is not given them either) and no
// environment of its own; its only configuration is the INI file beside the executable.
#include "app/gui_session.h"
#include "core/file_size_signal.h"
#include "ui/guarded_application.h"

int main(int, char** argv) {
  hexloader::IgnoreFileSizeSignal();
  int qtArgc = 1;
  hexloader::TGuardedApplication app(qtArgc, argv);
  hexloader::TGuiSession session;
  return hexloader::RunMainWindow(session.Dialogs(), {});
}
