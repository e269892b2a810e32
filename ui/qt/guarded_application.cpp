#include "ui/qt/guarded_application.h"

#include "core/exception_display.h"

namespace hexloader {

TGuardedApplication::TGuardedApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TGuardedApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (...) {
    ShowException(std::current_exception());
    return false;
  }
}

}  // namespace hexloader
