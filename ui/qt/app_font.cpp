#include "ui/qt/app_font.h"

namespace hexloader {

QFont WindowFont(int PixelSize) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(PixelSize);
  return font;
}

}  // namespace hexloader
