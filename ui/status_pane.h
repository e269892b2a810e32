#pragma once
// PortStatusPane: a fixed-size pane of the status bar naming the serial port in use. Flat frame in the
// button-shadow colour with the corner pixels left out; the caption left-justified, cut at the frame.
#include <QString>
#include <QWidget>

namespace hexloader {

class TStatusPane : public QWidget {
  Q_OBJECT
 public:
  static constexpr int CaptionOffset = 2;

  explicit TStatusPane(QWidget* Parent = nullptr);

  const QString& Caption() const { return Caption_; }
  // Setting the text it already has does nothing.
  void SetCaption(const QString& Value);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString Caption_;
};

}  // namespace hexloader
