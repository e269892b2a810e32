// What the GUI session sets up in the application, as the operator meets it: Qt's own texts in
// Russian (the file dialog's labels, buttons and whole column headers) and the hints' colours.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>
#include <map>

#include "app/gui_session.h"
#include "ui/app_texts.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/qt_translations.h"

namespace hexloader::test {
namespace {

const TOpenDialogRequest HexRequest{texts::OpenDialogTitle, texts::OpenDialogFilterName, texts::OpenDialogFilterPattern,
                                    texts::OpenDialogDefaultExt};

QString ButtonText(const QFileDialog& Dialog, QDialogButtonBox::StandardButton Which) {
  const auto* box = Dialog.findChild<QDialogButtonBox*>();
  return box && box->button(Which) ? box->button(Which)->text() : QString();
}

// The colour most of the picture is painted in.
QRgb MostCommonColour(const QImage& Image) {
  std::map<QRgb, int> counts;
  for (int y = 0; y < Image.height(); ++y)
    for (int x = 0; x < Image.width(); ++x) ++counts[Image.pixel(x, y)];
  return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

}  // namespace

class TGuiSessionTest : public QObject {
  Q_OBJECT

 private slots:
  // First, while no translation is installed yet.
  void MissingTranslationIsNotAnErrorAndLeavesQtEnglish();
  void QtDialogTextsComeOutInRussian();
  void FileDialogShowsWholeColumns();
  void HintsOnTheTooltipColour();
};

void TGuiSessionTest::MissingTranslationIsNotAnErrorAndLeavesQtEnglish() {
  QTemporaryDir empty;
  QVERIFY(!InstallQtTranslations(*qApp, empty.path()));
  const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(nullptr, HexRequest);
  QCOMPARE(ButtonText(*dialog, QDialogButtonBox::Cancel), QStringLiteral("Cancel"));
}

void TGuiSessionTest::QtDialogTextsComeOutInRussian() {
  TGuiSession session;
  const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(nullptr, HexRequest);
  QCOMPARE(ButtonText(*dialog, QDialogButtonBox::Cancel), QStringLiteral("Отмена"));
  QCOMPARE(ButtonText(*dialog, QDialogButtonBox::Open), QStringLiteral("&Открыть"));
  QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text(), QStringLiteral("&Имя файла:"));
  QCOMPARE(dialog->windowTitle(), QStringLiteral("Выбери файл (*.hex) для загрузки"));
}

void TGuiSessionTest::FileDialogShowsWholeColumns() {
  TGuiSession session;
  QTemporaryDir dir;
  QFile(dir.filePath(QStringLiteral("прошивка-платы-управления.hex"))).open(QIODevice::WriteOnly);
  const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(nullptr, HexRequest);
  auto* model = dialog->findChild<QFileSystemModel*>();
  QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
  dialog->setDirectory(dir.path());
  dialog->show();
  QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
  QTRY_VERIFY(loaded.count() > 0);
  QCoreApplication::processEvents();

  auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
  QVERIFY(view && view->isVisible());
  QHeaderView* header = view->header();
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  const int textMargin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view);
  QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Дата изменения"));
  for (int i = 0; i < header->count(); ++i) {
    if (header->isSectionHidden(i)) continue;
    const QString text = model->headerData(i, Qt::Horizontal).toString();
    const int needed = header->fontMetrics().horizontalAdvance(text) + 2 * margin;
    QVERIFY2(header->sectionSize(i) >= needed, qPrintable(text + " is cut"));
    // Whole on screen: the view does not hide part of the column behind a scroll bar.
    QVERIFY2(header->sectionViewportPosition(i) + header->sectionSize(i) <= view->viewport()->width(),
             qPrintable(text + " runs past the view"));
    // The values after the name (size, type, date) are whole too; names may be cut in the middle.
    for (int row = 0; i > 0 && row < model->rowCount(view->rootIndex()); ++row) {
      const QString value = model->index(row, i, view->rootIndex()).data().toString();
      QVERIFY2(header->sectionSize(i) >= view->fontMetrics().horizontalAdvance(value) + 2 * (textMargin + 1),
               qPrintable(value + " is cut"));
    }
  }
}

void TGuiSessionTest::HintsOnTheTooltipColour() {
  TGuiSession session;
  QWidget widget;
  widget.resize(100, 40);
  widget.show();
  QVERIFY(QTest::qWaitForWindowExposed(&widget));
  QToolTip::showText(widget.mapToGlobal(QPoint(10, 10)), QStringLiteral("Выход"), &widget);
  QWidget* tip = nullptr;
  QTRY_VERIFY((tip = [] {
                for (QWidget* w : QApplication::topLevelWidgets())
                  if (w->inherits("QTipLabel") && w->isVisible()) return w;
                return static_cast<QWidget*>(nullptr);
              }()) != nullptr);
  const QImage picture = tip->grab().toImage();
  const QColor infoBackground = QToolTip::palette().color(QPalette::ToolTipBase);
  QVERIFY(infoBackground != qApp->palette().color(QPalette::Window));
  QCOMPARE(QColor(MostCommonColour(picture)), infoBackground);
  QToolTip::hideText();
}

}  // namespace hexloader::test

// The file dialog keeps its column widths in the user's Qt settings: a settings folder of the test's
// own shows the dialog as an operator meets it the first time, whatever earlier runs left behind.
int main(int argc, char** argv) {
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
  QApplication app(argc, argv);
  hexloader::test::TGuiSessionTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "gui_session_test.moc"
