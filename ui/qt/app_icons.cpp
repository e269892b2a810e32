#include "ui/qt/app_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace hexloader::icons {
namespace {

// Each image is drawn at 16 and 32 pixels on a 16-unit grid.
QIcon Draw(const std::function<void(QPainter&)>& Paint) {
  QIcon icon;
  for (int size : {16, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    Paint(p);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

void Connector(QPainter& p, QRectF box) {
  // A D-shaped connector shell with two rows of pins.
  QPainterPath shell;
  shell.moveTo(box.left(), box.top());
  shell.lineTo(box.right(), box.top());
  shell.lineTo(box.right() - box.width() * 0.12, box.bottom());
  shell.lineTo(box.left() + box.width() * 0.12, box.bottom());
  shell.closeSubpath();
  p.setPen(QPen(QColor(0x30, 0x3a, 0x48), 0.8));
  p.setBrush(QColor(0x9a, 0xa8, 0xb8));
  p.drawPath(shell);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x20, 0x28, 0x30));
  const double r = box.height() * 0.1;
  for (int i = 0; i < 5; ++i)
    p.drawEllipse(QPointF(box.left() + box.width() * (0.2 + 0.15 * i), box.top() + box.height() * 0.33), r, r);
  for (int i = 0; i < 4; ++i)
    p.drawEllipse(QPointF(box.left() + box.width() * (0.27 + 0.15 * i), box.top() + box.height() * 0.68), r, r);
}

// An arrow pointing right: shaft from TailX to HeadX, tip at TipX, centred on MidY; the shaft is
// 2 x ShaftHalf high, the head 2 x HeadHalf.
QPainterPath RightArrow(double TailX, double HeadX, double TipX, double MidY, double ShaftHalf, double HeadHalf) {
  QPainterPath arrow;
  arrow.moveTo(TailX, MidY - ShaftHalf);
  arrow.lineTo(HeadX, MidY - ShaftHalf);
  arrow.lineTo(HeadX, MidY - HeadHalf);
  arrow.lineTo(TipX, MidY);
  arrow.lineTo(HeadX, MidY + HeadHalf);
  arrow.lineTo(HeadX, MidY + ShaftHalf);
  arrow.lineTo(TailX, MidY + ShaftHalf);
  arrow.closeSubpath();
  return arrow;
}

}  // namespace

QIcon SelectFile() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(QColor(0x8a, 0x62, 0x12), 0.8));
    p.setBrush(QColor(0xd9, 0xa4, 0x2e));
    p.drawRect(QRectF(1, 4, 13, 10));
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 0.6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 1.5, 8, 9));
    p.setPen(QPen(QColor(0x33, 0x66, 0xcc), 0.8));
    for (double y : {4.0, 6.0, 8.0}) p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
    p.setPen(QPen(QColor(0x8a, 0x62, 0x12), 0.8));
    p.setBrush(QColor(0xf4, 0xc4, 0x4e));
    QPainterPath lid;
    lid.moveTo(1, 14.5);
    lid.lineTo(3.5, 7.5);
    lid.lineTo(15.5, 7.5);
    lid.lineTo(13.5, 14.5);
    lid.closeSubpath();
    p.drawPath(lid);
  });
}

QIcon Port() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(QColor(0x30, 0x3a, 0x48), 1.5));
    p.drawLine(QPointF(8, 1), QPointF(8, 5));
    Connector(p, QRectF(1.5, 5, 13, 8));
  });
}

QIcon Begin() {
  return Draw([](QPainter& p) {
    // A chip with pins, and a green arrow pointing into it.
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 0.8));
    for (double y : {8.0, 10.5, 13.0}) {
      p.drawLine(QPointF(7, y), QPointF(15.5, y));
    }
    p.setBrush(QColor(0x2b, 0x2b, 0x2b));
    p.drawRect(QRectF(9, 6.5, 5, 8));
    const QPainterPath arrow = RightArrow(0.5, 6, 10, 4, 2, 4);
    p.setPen(QPen(QColor(0x1b, 0x6e, 0x20), 0.8));
    p.setBrush(QColor(0x3c, 0xb0, 0x43));
    p.drawPath(arrow);
  });
}

QIcon Exit() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x1a), 0.8));
    p.setBrush(QColor(0x9c, 0x6b, 0x3c));
    p.drawRect(QRectF(2, 1, 8, 14));
    p.setBrush(QColor(0xf0, 0xd0, 0x40));
    p.drawEllipse(QPointF(8.2, 8.5), 0.9, 0.9);
    const QPainterPath arrow = RightArrow(8, 12, 15.5, 8, 1.5, 3.5);
    p.setPen(QPen(QColor(0x9a, 0x1a, 0x1a), 0.8));
    p.setBrush(QColor(0xe0, 0x3a, 0x3a));
    p.drawPath(arrow);
  });
}

QIcon PortItem() {
  return Draw([](QPainter& p) { Connector(p, QRectF(2, 4, 12, 8)); });
}

}  // namespace hexloader::icons
