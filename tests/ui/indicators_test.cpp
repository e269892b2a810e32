// The drawn indicators, the logo, the message dialog and the central exception display.
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "core/exception.h"
#include "core/exception_display.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/app_texts.h"
#include "ui/jpeg_decoder.h"
#include "ui/qt/copy_animation.h"
#include "ui/qt/logo_picture.h"
#include "ui/qt/message_dialog.h"
#include "ui/qt/progress_bar.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/status_pane.h"

namespace hexloader::test {

class TIndicatorsTest : public QObject {
  Q_OBJECT

 private slots:
  void ProgressRepaintsOnlyOnChangedPercent();
  void ProgressPicture_data();
  void ProgressPicture();
  void ProgressTextInInverseColours();
  void PaneCaptionCutAtItsFrame();
  void AnimationOpensOnShowLoopsAndStops();
  void LogoDecodesFromTheProgram();
  void BrokenJpegRaises();
  void MessageDialogLooksAsTheOperatorExpects();
  void ExceptionDisplayShowsTextWithPeriodAndIgnoresAbort();
};

namespace {

TProgressBar* MakeBar(QWidget& Parent) {
  auto* bar = new TProgressBar(&Parent);
  bar->setGeometry(0, 0, 293, 15);
  return bar;
}

int CountPixels(const QImage& Image, const QRect& Area, QColor Colour) {
  int n = 0;
  for (int y = Area.top(); y <= Area.bottom(); ++y)
    for (int x = Area.left(); x <= Area.right(); ++x) n += Image.pixelColor(x, y).rgb() == Colour.rgb();
  return n;
}

}  // namespace

void TIndicatorsTest::ProgressRepaintsOnlyOnChangedPercent() {
  QWidget parent;
  TProgressBar* bar = MakeBar(parent);
  bar->SetTotalParts(1000);
  const int before = bar->RepaintRequests();
  bar->SetPartsComplete(1);  // 0.1 % rounds to 0: same percentage, no new picture
  bar->SetPartsComplete(4);
  QCOMPARE(bar->RepaintRequests(), before);
  bar->SetPartsComplete(5);  // 0.5 % rounds to even 0
  QCOMPARE(bar->RepaintRequests(), before);
  bar->SetPartsComplete(15);  // 1.5 % rounds to 2
  QCOMPARE(bar->Percent(), 2);
  QCOMPARE(bar->RepaintRequests(), before + 1);
  bar->SetPartsComplete(5000);  // clamped to 1000: 100 %
  bar->SetPartsComplete(5000);
  QCOMPARE(bar->PartsComplete(), 1000u);
  QCOMPARE(bar->RepaintRequests(), before + 2);
}

void TIndicatorsTest::ProgressPicture_data() {
  QTest::addColumn<int>("Total");
  QTest::addColumn<int>("Done");
  QTest::addColumn<int>("FilledColumns");
  // Interior 289 wide: the filled part is Percent * 289 / 100 rounded half to even.
  QTest::newRow("empty bar") << 8 << 0 << 0;
  QTest::newRow("12 percent") << 8 << 1 << 35;   // 34.68
  QTest::newRow("50 percent") << 8 << 4 << 144;  // 144.5 -> even
  QTest::newRow("88 percent") << 8 << 7 << 254;  // 254.32
  QTest::newRow("full bar") << 8 << 8 << 289;
  QTest::newRow("no total keeps 0") << 0 << 5 << 0;
}

void TIndicatorsTest::ProgressPicture() {
  QFETCH(int, Total);
  QFETCH(int, Done);
  QFETCH(int, FilledColumns);
  QWidget parent;
  TProgressBar* bar = MakeBar(parent);
  bar->SetShowPercent(false);
  bar->SetTotalParts(Total);
  bar->SetPartsComplete(Done);
  const QImage picture = bar->Compose();
  const QRect interior = bar->Interior();
  QCOMPARE(interior.width(), 289);
  const QRect done(interior.left(), interior.top(), FilledColumns, interior.height());
  const QRect rest(interior.left() + FilledColumns, interior.top(), 289 - FilledColumns, interior.height());
  QCOMPARE(CountPixels(picture, done, bar->BarColor()), done.width() * done.height());
  QCOMPARE(CountPixels(picture, rest, bar->BackColor()), rest.width() * rest.height());
}

void TIndicatorsTest::ProgressTextInInverseColours() {
  QWidget parent;
  TProgressBar* bar = MakeBar(parent);
  bar->SetTotalParts(2);
  bar->SetPartsComplete(1);  // 50 %: the text straddles the bar's end
  const QImage picture = bar->Compose();
  const QRect interior = bar->Interior();
  const int filled = 144;
  const QRect done(interior.left(), interior.top(), filled, interior.height());
  const QRect rest(interior.left() + filled, interior.top(), interior.width() - filled, interior.height());
  // The text shows on both sides of the bar's end: over the bar it is drawn in the back colour (the
  // only other colour there), over the rest in the bar colour.
  const int doneArea = done.width() * done.height(), restArea = rest.width() * rest.height();
  QVERIFY(CountPixels(picture, done, bar->BarColor()) < doneArea);
  QVERIFY(CountPixels(picture, rest, bar->BackColor()) < restArea);
  QVERIFY(CountPixels(picture, done, bar->BarColor()) > doneArea * 3 / 4);
  int darkInRest = 0;
  for (int y = rest.top(); y <= rest.bottom(); ++y)
    for (int x = rest.left(); x <= rest.right(); ++x)
      darkInRest += picture.pixelColor(x, y).lightness() < bar->BackColor().lightness();
  QVERIFY(darkInRest > 0);
}

void TIndicatorsTest::PaneCaptionCutAtItsFrame() {
  QWidget parent;
  auto* pane = new TStatusPane(&parent);
  pane->setGeometry(0, 0, 47, 15);
  pane->SetCaption(QStringLiteral("ttyUSB-adapter-with-a-long-name"));
  const QImage picture = pane->grab().toImage();
  QCOMPARE(pane->width(), 47);
  const QColor frame = pane->palette().color(QPalette::Dark);
  for (int y = 1; y <= 13; ++y) QCOMPARE(picture.pixelColor(46, y).rgb(), frame.rgb());
  // The caption starts 4 pixels in: the columns before it are empty.
  const QColor fill = pane->palette().color(QPalette::Window);
  for (int y = 1; y <= 13; ++y)
    for (int x = 1; x <= 3; ++x) QCOMPARE(picture.pixelColor(x, y).rgb(), fill.rgb());
  QVERIFY(CountPixels(picture, QRect(4, 1, 42, 13), fill) < 42 * 13);
}

void TIndicatorsTest::AnimationOpensOnShowLoopsAndStops() {
  QWidget parent;
  parent.resize(300, 100);
  auto* animation = new TAnimate(&parent);
  animation->setGeometry(0, 0, 264, 80);
  animation->hide();
  parent.show();
  QVERIFY(!animation->ClipOpen());
  QCOMPARE(animation->StopFrame(), 81);
  animation->show();
  QVERIFY(animation->ClipOpen());
  QCOMPARE(animation->StartFrame(), 1);
  QVERIFY(animation->StopFrame() > 1 && animation->StopFrame() < 81);
  animation->SetActive(true);
  QVERIFY(animation->Active());
  QTRY_VERIFY_WITH_TIMEOUT(animation->CurrentFrame() == animation->StopFrame(), 30000);
  QTRY_VERIFY_WITH_TIMEOUT(animation->CurrentFrame() == animation->StartFrame() + 1, 30000);  // it went round
  animation->SetActive(false);
  QVERIFY(!animation->Active());
  QCOMPARE(animation->CurrentFrame(), animation->StartFrame());
}

void TIndicatorsTest::LogoDecodesFromTheProgram() {
  const QImage logo = LogoPicture();
  QCOMPARE(logo.size(), QSize(80, 80));
  QVERIFY(logo.pixelColor(40, 2) != logo.pixelColor(40, 40));  // a picture, not a blank
}

void TIndicatorsTest::BrokenJpegRaises() {
  const std::uint8_t notJpeg[] = {'H', 'E', 'X', 'L', 'O', 'A', 'D', 0};
  QVERIFY_THROWS_EXCEPTION(EJpegError, DecodeJpeg(notJpeg, sizeof notJpeg));
}

void TIndicatorsTest::MessageDialogLooksAsTheOperatorExpects() {
  const QString longText = QString(QStringLiteral("Очень длинное сообщение ")).repeated(60);
  TMessageDialog dialog(longText);
  QCOMPARE(dialog.windowTitle(), QString::fromUtf8(texts::ApplicationTitle));
  QVERIFY(dialog.TextLabel()->wordWrap());
  QVERIFY(dialog.TextLabel()->width() <= QGuiApplication::primaryScreen()->geometry().width() / 2);
  QCOMPARE(dialog.OkButton()->text(), QStringLiteral("OK"));
  QVERIFY(dialog.OkButton()->isDefault());
  QCOMPARE(dialog.findChildren<QPushButton*>().size(), 1);
  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);  // the OK button is also the cancel button
  QVERIFY(!dialog.isVisible());
}

void TIndicatorsTest::ExceptionDisplayShowsTextWithPeriodAndIgnoresAbort() {
  TScriptedDialogs dialogs;
  InstallExceptionDisplay(dialogs);
  ShowException(std::make_exception_ptr(EAbort("silent")));
  ShowException(std::make_exception_ptr(Exception("Unable to write to /opt/hexloader.ini")));
  ShowException(std::make_exception_ptr(Exception("Ошибка")));
  ShowException(std::make_exception_ptr(Exception("Already ends.")));
  SetExceptionDisplay({});
  QCOMPARE(dialogs.Errors,
           (std::vector<std::string>{"Unable to write to /opt/hexloader.ini.", "Ошибка.", "Already ends."}));
}

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TIndicatorsTest)
#include "indicators_test.moc"
