#include "ui/qt/progress_bar.h"

#include <QPainter>

namespace hexloader {

TProgressBar::TProgressBar(QWidget* Parent) : QWidget(Parent) {
  Parts_.SetOnChange([this](std::uint16_t) {
    ++RepaintRequests_;
    update();
  });
  // Everything is painted from the composed picture.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TProgressBar::SetShowPercent(bool Value) {
  if (Value == ShowPercent_) return;
  ShowPercent_ = Value;
  update();
}

QColor TProgressBar::BackColor() const { return palette().color(QPalette::Window); }
QColor TProgressBar::BarColor() const { return palette().color(QPalette::Highlight); }

QImage TProgressBar::Compose() const {
  QImage picture(size(), QImage::Format_RGB32);
  QPainter p(&picture);
  const QRect r(QPoint(0, 0), size());
  p.fillRect(r, BackColor());
  // Status frame: sunken, shadow at top and left, light at bottom and right; then a 1-pixel border.
  p.setPen(palette().color(QPalette::Dark));
  p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
  p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
  p.setPen(palette().color(QPalette::Light));
  p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
  p.drawLine(r.right(), r.top(), r.right(), r.bottom());

  const QRect interior = Interior();
  const QString text = ShowPercent_ ? QStringLiteral("%1%").arg(Percent()) : QString();
  const int filled = TProgressParts::FilledWidth(Percent(), interior.width());
  const QRect done(interior.left(), interior.top(), filled, interior.height());
  const QRect rest(interior.left() + filled, interior.top(), interior.width() - filled, interior.height());

  p.setFont(font());
  const QFontMetrics fm(font());
  // Centred on half of the interior's right edge; top halfway down by the height of "X", toward zero.
  const int rightEdge = interior.left() + interior.width();
  const int x = rightEdge / 2 - fm.horizontalAdvance(text) / 2;
  const int top = interior.top() + (interior.height() - fm.height()) / 2;
  const int baseline = top + fm.ascent();

  if (!done.isEmpty()) {
    p.fillRect(done, BarColor());
    p.setClipRect(done);
    p.setPen(BackColor());
    p.drawText(x, baseline, text);
  }
  if (!rest.isEmpty()) {
    p.setClipRect(rest);
    p.fillRect(rest, BackColor());
    p.setPen(BarColor());
    p.drawText(x, baseline, text);
  }
  return picture;
}

void TProgressBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Compose());
}

}  // namespace hexloader
