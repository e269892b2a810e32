#pragma once
// The program speaks Russian only, so Qt's own texts (the file dialog's labels and buttons, standard
// buttons, context menus) are loaded in Russian whatever the user's locale.
#include <QString>

class QCoreApplication;

namespace hexloader {

// Qt's folder of translations, as this Qt was built to find it.
QString QtTranslationsDir();

// Installs Qt's Russian translation from Directory into App (which owns it) and makes Russian Qt's
// default locale. Returns false, changing nothing, when the translation is not there: a missing file is
// not an error, Qt's texts then stay English. The file dialog's sizes and dates follow the user's own
// locale either way.
bool InstallQtTranslations(QCoreApplication& App, const QString& Directory = QtTranslationsDir());

}  // namespace hexloader
