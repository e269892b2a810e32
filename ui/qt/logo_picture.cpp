#include "ui/qt/logo_picture.h"

#include <QFile>

#include "ui/jpeg_decoder.h"

// The resource lives in a static library, whose initialiser the linker would otherwise drop.
static void InitLogoResource() { Q_INIT_RESOURCE(ui); }

namespace hexloader {

QImage LogoPicture() {
  InitLogoResource();
  QFile file(QStringLiteral(":/hexloader/logo.jpg"));
  if (!file.open(QIODevice::ReadOnly)) throw EJpegError("The logo picture is missing from the program");
  const QByteArray bytes = file.readAll();
  const TRgbImage rgb = DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size());
  return QImage(rgb.Rgb.data(), rgb.Width, rgb.Height, rgb.Width * 3, QImage::Format_RGB888).copy();
}

}  // namespace hexloader
