#pragma once
// Form2: the power-on prompt "Включи питание", shown (not modal) while the upload waits for the
// device's first byte. No code of its own beyond its layout.
#include <QWidget>

class QLabel;

namespace hexloader {

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  // Owner: the main window, over which the prompt is centred.
  explicit TForm2(QWidget* Owner);

  QLabel* Label1() const { return Label1_; }
  // Shows the prompt centred over its owner.
  void ShowCentred();

 private:
  QLabel* Label1_;
  bool Centring_ = false;
};

}  // namespace hexloader
