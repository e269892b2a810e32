// Host helper of make-images.sh: saves the toolbar's images as the Linux window draws them
// (ui/app_icons.cpp), as PNG files at the sizes the Windows icons hold.
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include "ui/app_icons.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const struct {
    const char* Name;
    QIcon Icon;
  } images[] = {{"select-file", hexloader::icons::SelectFile()},
                {"port", hexloader::icons::Port()},
                {"begin", hexloader::icons::Begin()},
                {"exit", hexloader::icons::Exit()},
                {"port-item", hexloader::icons::PortItem()}};
  for (const auto& image : images)
    for (int size : {16, 24, 32})
      if (!image.Icon.pixmap(size, size).save(folder + QStringLiteral("/%1-%2.png").arg(image.Name).arg(size)))
        return 1;
  return 0;
}
