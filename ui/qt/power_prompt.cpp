#include "ui/qt/power_prompt.h"

#include <QLabel>

#include "ui/qt/app_font.h"
#include "ui/qt/native_title.h"
#include "ui/qt/window_frame.h"
#include "upload/upload_errors.h"

namespace hexloader {

TForm2::TForm2(QWidget* Owner) : QWidget(Owner, FixedDialogFrame(Qt::Dialog, false)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QString());
  KeepEmptyTitleEmpty(*this);
  setFixedSize(195, 57);
  setAutoFillBackground(true);
  Label1_ = new QLabel(QString::fromUtf8(PowerOnPromptText), this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setGeometry(0, 0, 195, 57);
  Label1_->setAlignment(Qt::AlignCenter);
  Label1_->setFont(WindowFont(19));
}

void TForm2::ShowCentred() {
  if (!Centring_) {
    Centring_ = true;
    KeepFrameCentred(*this, [this] { return parentWidget() ? parentWidget()->frameGeometry() : geometry(); });
  } else if (parentWidget()) {
    CentreFrame(*this, parentWidget()->frameGeometry());
  }
  show();
  raise();
}

}  // namespace hexloader
