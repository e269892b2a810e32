#pragma once
// The application object of the GUI: an exception that escapes any event handler (a slot, a paint,
// a posted call) goes to the central exception display instead of unwinding into the event loop.
#include <QApplication>

namespace hexloader {

class TGuardedApplication : public QApplication {
 public:
  TGuardedApplication(int& Argc, char** Argv);
  bool notify(QObject* Receiver, QEvent* Event) override;
};

}  // namespace hexloader
