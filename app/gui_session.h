#pragma once
// What both GUI entries set up around the main window: the application with its title and hints,
// the user-interface dispatcher on the Qt event loop, the dialogs and the central exception display.
#include <memory>

#include "ui/qt/main_window.h"

namespace hexloader {

class TQtDialogs;
class TQtUiDispatcher;

class TGuiSession {
 public:
  TGuiSession();
  ~TGuiSession();
  TDialogs& Dialogs();

 private:
  std::unique_ptr<TQtUiDispatcher> Dispatcher_;
  std::unique_ptr<TQtDialogs> Dialogs_;
};

// Creates Form1 (its start-up runs now), shows it and runs the event loop until it closes.
// Before is called with the window after it was shown.
int RunMainWindow(TDialogs& Dialogs, TForm1Options Options, const std::function<void(TForm1&)>& Before = {});

}  // namespace hexloader
