#include "ui/qt/copy_clip.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace hexloader {
namespace {

void DrawFolder(QPainter& P, const QRectF& Box, bool Open) {
  const QColor back(0xD9, 0xA4, 0x2E), front(0xF4, 0xC4, 0x4E), edge(0x8A, 0x62, 0x12);
  P.setPen(QPen(edge, 1));
  QPainterPath tab;
  tab.moveTo(Box.left(), Box.top() + 6);
  tab.lineTo(Box.left() + 4, Box.top());
  tab.lineTo(Box.left() + 18, Box.top());
  tab.lineTo(Box.left() + 22, Box.top() + 6);
  tab.closeSubpath();
  P.setBrush(back);
  P.drawPath(tab);
  P.drawRect(QRectF(Box.left(), Box.top() + 6, Box.width(), Box.height() - 6));
  P.setBrush(front);
  const double lift = Open ? 8 : 0;
  QPainterPath lid;
  lid.moveTo(Box.left(), Box.bottom());
  lid.lineTo(Box.left() + lift, Box.top() + 14);
  lid.lineTo(Box.right() + lift, Box.top() + 14);
  lid.lineTo(Box.right(), Box.bottom());
  lid.closeSubpath();
  P.drawPath(lid);
}

void DrawSheet(QPainter& P, QPointF Centre, double AngleDeg) {
  P.save();
  P.translate(Centre);
  P.rotate(AngleDeg);
  const QRectF sheet(-9, -11, 18, 22);
  P.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
  P.setBrush(Qt::white);
  QPainterPath page;
  page.moveTo(sheet.topLeft());
  page.lineTo(sheet.right() - 5, sheet.top());
  page.lineTo(sheet.right(), sheet.top() + 5);
  page.lineTo(sheet.bottomRight());
  page.lineTo(sheet.bottomLeft());
  page.closeSubpath();
  P.drawPath(page);
  P.setPen(QPen(QColor(0x33, 0x66, 0xCC), 1));
  for (int line = 0; line < 4; ++line) {
    const double y = sheet.top() + 6 + line * 4;
    P.drawLine(QPointF(sheet.left() + 3, y), QPointF(sheet.right() - 3, y));
  }
  P.restore();
}

}  // namespace

void TCopyClip::DrawFrame(QPainter& P, int Frame) {
  P.save();
  P.setRenderHint(QPainter::Antialiasing);
  const QRectF from(8, 26, 44, 32), to(148, 26, 44, 32);
  DrawFolder(P, from, true);
  DrawFolder(P, to, true);
  // The sheet rises out of the left folder, arcs over and drops into the right one.
  const double t = (Frame - 1) / double(FrameCount - 1);
  const double x = from.center().x() + t * (to.center().x() - from.center().x());
  const double y = 34 - 26 * std::sin(t * 3.14159265358979);
  DrawSheet(P, QPointF(x, y), -20 + 40 * t);
  P.restore();
}

}  // namespace hexloader
