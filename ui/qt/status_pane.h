#pragma once
// PortStatusPane: the status bar's pane naming the serial port in use. Flat frame in the button-shadow
// colour with the corner pixels left out; the caption left-justified, 4 pixels from the left edge. The
// status bar gives it the width its caption needs (NeededWidth); a caption that still does not fit is
// cut in the middle with "…", and the whole caption is the pane's tooltip.
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
  // The width that shows the whole caption: the frame, the offset before the text and as much after it.
  int NeededWidth() const;
  // The caption as drawn in the present width.
  QString ShownCaption() const;

 signals:
  // The caption or the font changed: the status bar arranges the panes anew.
  void NeededWidthChanged();

 protected:
  void paintEvent(QPaintEvent*) override;
  void changeEvent(QEvent* Event) override;

 private:
  // Pixels around the text: frame and offset on the left, the same room on the right.
  static constexpr int TextLeft = 1 + CaptionOffset + 1;
  static constexpr int TextRight = TextLeft;

  QString Caption_;
};

}  // namespace hexloader
