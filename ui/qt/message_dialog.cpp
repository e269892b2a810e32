#include "ui/qt/message_dialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/app_texts.h"
#include "ui/qt/app_font.h"
#include "ui/qt/window_frame.h"

namespace hexloader {

TMessageDialog::TMessageDialog(const QString& Text, QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QString::fromUtf8(texts::ApplicationTitle));
  setWindowFlags(FixedDialogFrame(Qt::Dialog, false));
  setFont(WindowFont(11));
  setModal(true);

  const QScreen* screen = QGuiApplication::primaryScreen();
  const int halfScreen = screen ? screen->geometry().width() / 2 : 512;

  Label_ = new QLabel(Text, this);
  Label_->setTextFormat(Qt::PlainText);
  Label_->setWordWrap(true);
  Label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Short texts keep their natural width; long ones wrap at half the screen.
  const int natural = Label_->fontMetrics().horizontalAdvance(Text);
  Label_->setFixedWidth(std::min(natural + 8, halfScreen));

  Ok_ = new QPushButton(QString::fromUtf8(texts::OkButton), this);
  Ok_->setDefault(true);  // Enter
  Ok_->setAutoDefault(true);
  connect(Ok_, &QPushButton::clicked, this, &QDialog::accept);  // Esc rejects, which also closes

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label_);
  layout->addWidget(Ok_, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  adjustSize();
  if (screen) KeepFrameCentred(*this, [screen] { return screen->geometry(); });
}

}  // namespace hexloader
