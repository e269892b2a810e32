#pragma once
// The plain message dialog: a modal window with the application title as caption, the text wrapped
// to at most half the screen's width, no icon and one "OK" button that is both default and cancel,
// centred on the screen.
#include <QDialog>

class QLabel;
class QPushButton;

namespace hexloader {

class TMessageDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TMessageDialog(const QString& Text, QWidget* Parent = nullptr);

  QLabel* TextLabel() const { return Label_; }
  QPushButton* OkButton() const { return Ok_; }

 private:
  QLabel* Label_;
  QPushButton* Ok_;
};

}  // namespace hexloader
