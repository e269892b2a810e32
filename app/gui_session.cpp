#include "app/gui_session.h"

#include <QApplication>

#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "ui/app_texts.h"
#include "ui/qt/balloon_hints.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/qt_translations.h"
#include "ui/qt/qt_ui_dispatcher.h"

namespace hexloader {

TGuiSession::TGuiSession()
    : Dispatcher_(std::make_unique<TQtUiDispatcher>()), Dialogs_(std::make_unique<TQtDialogs>()) {
  QApplication::setApplicationName(QString::fromUtf8(texts::ApplicationTitle));
  InstallQtTranslations(*qApp);
  InstallBalloonHints(*qApp);
  SetUiDispatcher(Dispatcher_.get());
  InstallExceptionDisplay(*Dialogs_);
}

TGuiSession::~TGuiSession() {
  SetExceptionDisplay({});
  SetUiDispatcher(nullptr);
}

TDialogs& TGuiSession::Dialogs() { return *Dialogs_; }

int RunMainWindow(TDialogs& Dialogs, TForm1Options Options, const std::function<void(TForm1&)>& Before) {
  // The window is closed by Exit or its close box; Form2 may still be visible then, so the program
  // ends when Form1 closes, not when the last window does.
  QApplication::setQuitOnLastWindowClosed(false);
  TForm1 form1(Dialogs, std::move(Options));
  QObject::connect(&form1, &TForm1::Closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  form1.show();
  if (Before) Before(form1);
  return QApplication::exec();
}

}  // namespace hexloader
