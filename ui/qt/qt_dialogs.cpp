#include "ui/qt/qt_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QTreeView>
#include <QWidget>

#include "core/exception_display.h"
#include "ui/app_texts.h"
#include "ui/qt/app_font.h"
#include "ui/qt/message_dialog.h"

namespace hexloader {
namespace {

// Room for the four columns with a file name of some length beside them.
const QSize OpenDialogSize(800, 480);

}  // namespace

std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* Parent, const TOpenDialogRequest& Request) {
  auto dialog = std::make_unique<QFileDialog>(Parent, QString::fromStdString(Request.Title));
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setNameFilter(QString::fromStdString(Request.FilterName + " (" + Request.FilterPattern + ")"));
  dialog->setDefaultSuffix(QString::fromStdString(Request.DefaultExt));
  // The same dialog on every desktop (and under a bare X server).
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setViewMode(QFileDialog::Detail);
  // The columns start at widths measured on English samples, and translated headers ("Дата изменения")
  // are longer: the columns after the name take what their header and values need, and the name column
  // the rest (long names are cut in the middle there, as the view does anyway).
  if (auto* view = dialog->findChild<QTreeView*>()) {
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int i = 1; i < header->count(); ++i) header->setSectionResizeMode(i, QHeaderView::ResizeToContents);
    QSize size = dialog->sizeHint().expandedTo(OpenDialogSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) size = size.boundedTo(screen->availableSize());
    dialog->resize(size);
  }
  return dialog;
}

std::optional<std::string> TQtDialogs::AskOpenFile(TDialogParent Parent, const TOpenDialogRequest& Request) {
  const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(static_cast<QWidget*>(Parent), Request);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog->selectedFiles().front()).toStdString();
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
