#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

#include "core/exception_display.h"
#include "ui/app_font.h"
#include "ui/app_texts.h"
#include "ui/message_dialog.h"

namespace hexloader {

std::optional<std::string> TQtDialogs::AskOpenFile(QWidget* Parent, const TOpenDialogRequest& Request) {
  QFileDialog dialog(Parent, QString::fromStdString(Request.Title));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilter(QString::fromStdString(Request.FilterName + " (" + Request.FilterPattern + ")"));
  dialog.setDefaultSuffix(QString::fromStdString(Request.DefaultExt));
  // The same dialog on every desktop (and under a bare X server).
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

void TQtDialogs::ShowMessage(const std::string& Text) {
  TMessageDialog dialog(QString::fromStdString(Text), QApplication::activeWindow());
  dialog.exec();
}

void TQtDialogs::ShowError(const std::string& Text) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(texts::ApplicationTitle), QString::fromStdString(Text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.setFont(WindowFont(11));
  box.exec();
}

void InstallExceptionDisplay(TDialogs& Dialogs) {
  SetExceptionDisplay([&Dialogs](const std::string& Message) {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    Dialogs.ShowError(ExceptionDisplayText(Message));
  });
}

}  // namespace hexloader
