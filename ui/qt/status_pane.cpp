#include "ui/qt/status_pane.h"

#include <QEvent>
#include <QPainter>
#include <QtMath>

namespace hexloader {

TStatusPane::TStatusPane(QWidget* Parent) : QWidget(Parent) {}

void TStatusPane::SetCaption(const QString& Value) {
  if (Value == Caption_) return;
  Caption_ = Value;
  setToolTip(Caption_);
  update();
  emit NeededWidthChanged();
}

void TStatusPane::changeEvent(QEvent* Event) {
  // The window's font reaches the pane when the window is first polished, after the caption may be set.
  if (Event->type() == QEvent::FontChange) emit NeededWidthChanged();
  QWidget::changeEvent(Event);
}

int TStatusPane::NeededWidth() const {
  // Rounded up: a text a fraction of a pixel wider than its room is cut.
  return TextLeft + qCeil(QFontMetricsF(font()).horizontalAdvance(Caption_)) + TextRight;
}

QString TStatusPane::ShownCaption() const {
  // Port names differ at their ends (ttyUSB1, ttyUSB10; the folder and the device): keep both.
  return fontMetrics().elidedText(Caption_, Qt::ElideMiddle, width() - TextLeft - TextRight);
}

void TStatusPane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, palette().color(QPalette::Window));
  // Flat frame: four 1-pixel lines without the corner pixels.
  p.setPen(palette().color(QPalette::Dark));
  const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
  p.drawLine(l + 1, t, rr - 1, t);
  p.drawLine(l + 1, b, rr - 1, b);
  p.drawLine(l, t + 1, l, b - 1);
  p.drawLine(rr, t + 1, rr, b - 1);

  const QRect interior = r.adjusted(1, 1, -1, -1);
  p.setClipRect(interior);
  p.setFont(font());
  p.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics fm(font());
  const int x = interior.left() + CaptionOffset + 1;
  const int top = interior.top() + (interior.height() - fm.height()) / 2;  // on the height of "Pp"
  p.drawText(x, top + fm.ascent(), ShownCaption());
}

}  // namespace hexloader
