#include "ui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace hexloader {

QString QtTranslationsDir() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool InstallQtTranslations(QCoreApplication& App, const QString& Directory) {
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  auto translator = std::make_unique<QTranslator>();
  // qtbase holds the widgets' and dialogs' texts (Debian: qt6-translations-l10n).
  if (!translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), Directory)) return false;
  // Texts Qt takes from its data in the default locale (the file dialog's file types) follow too.
  QLocale::setDefault(russian);
  QCoreApplication::installTranslator(translator.get());
  translator.release()->setParent(&App);
  return true;
}

}  // namespace hexloader
