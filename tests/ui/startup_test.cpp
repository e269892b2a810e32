// The main window's start-up and its commands that need no device: restoring the port and the file,
// the Port menu, Start without a port, the settings write failure.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "tests/ui/window_fixture.h"
#include "ui/app_texts.h"
#include "ui/qt/copy_animation.h"
#include "ui/qt/power_prompt.h"
#include "ui/qt/progress_bar.h"
#include "ui/qt/status_bar.h"
#include "ui/qt/status_pane.h"

namespace hexloader::test {

const std::string PortMessage = texts::PortNotDefined;

class TStartupTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstRunAsksForFileBeforeTheWindowWithPortMessageOverIt();
  void SavedPort_data();
  void SavedPort();
  void SavedFileThatIsGoneAsksAgainAndCancelKeepsNone();
  void PortMenuSortedAndCaptionsExact();
  void StartBeforeAPortWasChosenDoesNothing();
  void ChoosingAnotherFileKeepsCaptionAndWritesSettings();
  void SettingsWriteFailureReachesTheExceptionDisplay();
  void FileNameWithLineBreakIsRefusedWithItsOwnMessage();
  void LayoutAsTheOperatorSeesIt();
  void PortPaneFitsTheName_data();
  void PortPaneFitsTheName();
  void PortPanePicturesTellNamesApart();
  void StartWithoutAFileReachesTheExceptionDisplay();
};

void TStartupTest::FirstRunAsksForFileBeforeTheWindowWithPortMessageOverIt() {
  TWindowFixture f;
  const std::string hex = f.WriteHex("blink.hex", 300);
  f.Dialogs.FileAnswers.push_back(hex);
  TForm1& form = f.MakeForm({"ttyS0"});

  QCOMPARE(f.Dialogs.FileAsks.size(), std::size_t(1));
  QCOMPARE(f.Dialogs.FileAsks[0].Title, std::string("Выбери файл (*.hex) для загрузки"));
  QCOMPARE(f.Dialogs.FileAsks[0].FilterPattern, std::string("*.hex"));
  QCOMPARE(f.Dialogs.FileAsks[0].DefaultExt, std::string("hex"));
  QVERIFY(!f.Dialogs.ParentVisibleAtAsk[0]);  // before the main window is shown
  QCOMPARE(f.Dialogs.MessagesDuringFileDialog, std::vector<std::string>{PortMessage});
  QVERIFY(form.PendingMessage().empty());
  QCOMPARE(form.windowTitle(), QStringLiteral("blink.hex"));
  QCOMPARE(form.HexFileName(), hex);
  QCOMPARE(form.SerialComm1().DeviceName(), std::string("COM%d"));
  QVERIFY(form.PortStatusPane()->Caption().isEmpty());
  QCOMPARE(f.ReadIni(), "[FileName]\nName=" + hex + "\n");
  for (QAction* a : {form.ASelectFile(), form.ABegin(), form.AExit()}) QVERIFY(a->isEnabled());
  QVERIFY(form.ToolButton2()->isEnabled());
  QVERIFY(form.Form2()->isHidden());
  QCOMPARE(f.Dialogs.Errors.size(), std::size_t(0));
}

void TStartupTest::SavedPort_data() {
  QTest::addColumn<QString>("PortSection");
  QTest::addColumn<QStringList>("Ports");
  QTest::addColumn<QString>("Pane");  // empty: the port message instead
  QTest::newRow("saved port present") << "Name=ttyUSB0" << QStringList{"ttyS0", "ttyUSB0"} << "ttyUSB0";
  QTest::newRow("saved port missing") << "Name=ttyUSB3" << QStringList{"ttyUSB1", "ttyUSB4"} << "";
  QTest::newRow("saved port in other letter case") << "Name=TTYUSB0" << QStringList{"ttyUSB0"} << "";
  QTest::newRow("other key only takes COM1") << "Baud=19200" << QStringList{"COM1", "COM2"} << "COM1";
  QTest::newRow("no ports at all") << "Name=ttyUSB0" << QStringList{} << "";
}

void TStartupTest::SavedPort() {
  QFETCH(QString, PortSection);
  QFETCH(QStringList, Ports);
  QFETCH(QString, Pane);
  TWindowFixture f;
  const std::string hex = f.WriteHex("a.hex", 16);
  f.WriteIni("[PortName]\n" + PortSection.toStdString() + "\n[FileName]\nName=" + hex + "\n");
  std::vector<std::string> ports;
  for (const QString& p : Ports) ports.push_back(p.toStdString());
  TForm1& form = f.MakeForm(ports);
  QCOMPARE(f.Dialogs.FileAsks.size(), std::size_t(0));
  // The message is deferred: nothing yet, then shown once an event loop runs.
  QVERIFY(f.Dialogs.Messages.empty());
  QCoreApplication::processEvents();
  QCOMPARE(form.PortStatusPane()->Caption(), Pane);
  QVERIFY(!form.SerialComm1().IsOpen());
  if (Pane.isEmpty()) {
    QCOMPARE(f.Dialogs.Messages, std::vector<std::string>{PortMessage});
    QCOMPARE(form.SerialComm1().DeviceName(), std::string("COM%d"));
  } else {
    QVERIFY(f.Dialogs.Messages.empty());
    QCOMPARE(form.SerialComm1().DeviceName(), Pane.toStdString());
  }
  QCOMPARE(form.windowTitle(), QStringLiteral("a.hex"));
}

void TStartupTest::SavedFileThatIsGoneAsksAgainAndCancelKeepsNone() {
  TWindowFixture f;
  f.WriteIni("[PortName]\nName=ttyS0\n[FileName]\nName=" + f.Path("gone.hex") + "\n");
  TForm1& form = f.MakeForm({"ttyS0"});  // no answer: the operator cancels
  QCOMPARE(f.Dialogs.FileAsks.size(), std::size_t(1));
  QVERIFY(form.HexFileName().empty());
  QVERIFY(form.windowTitle().isEmpty());
  QVERIFY(f.ReadIni().find("gone.hex") != std::string::npos);  // cancelling writes nothing
}

void TStartupTest::PortMenuSortedAndCaptionsExact() {
  TWindowFixture f;
  f.WriteIni("[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  TForm1& form = f.MakeForm({"ttyUSB1", "ttyS10", "ttyS2", "ttyACM0", "tty&X"});
  QStringList captions, names;
  for (QAction* item : form.PortMenu()->actions()) {
    captions << item->text();
    names << QString::fromLatin1(item->data().toByteArray());
    QVERIFY(!item->icon().isNull());
  }
  QCOMPARE(names, (QStringList{"tty&X", "ttyACM0", "ttyS10", "ttyS2", "ttyUSB1"}));
  QCOMPARE(captions.front(), QStringLiteral("tty&&X"));  // shown as "tty&X", no accelerator
  QCOMPARE(form.ToolButton2()->menu(), form.PortMenu());
}

void TStartupTest::StartBeforeAPortWasChosenDoesNothing() {
  TWindowFixture f;
  f.WriteIni("[FileName]\nName=" + f.WriteHex("a.hex", 300) + "\n");
  TForm1& form = f.MakeForm({});
  QCoreApplication::processEvents();
  f.Dialogs.Messages.clear();
  form.show();
  form.ABegin()->trigger();
  QCoreApplication::processEvents();
  QVERIFY(f.Dialogs.Messages.empty());
  QVERIFY(f.Dialogs.Errors.empty());
  QVERIFY(!std::filesystem::exists(f.Path("a.BIN")));  // not even converted
  QCOMPARE(int(form.Session().Stage()), int(Idle));
  QVERIFY(form.Form2()->isHidden());
  QVERIFY(form.ABegin()->isEnabled());
}

void TStartupTest::ChoosingAnotherFileKeepsCaptionAndWritesSettings() {
  TWindowFixture f;
  f.WriteIni("[PortName]\nName=ttyS0\n[FileName]\nName=" + f.WriteHex("first.hex", 16) + "\n");
  TForm1& form = f.MakeForm({"ttyS0"});
  QCOMPARE(form.windowTitle(), QStringLiteral("first.hex"));
  const std::string second = f.WriteHex("second.hex", 16);
  f.Dialogs.FileAnswers.push_back(second);
  form.ASelectFile()->trigger();
  QCOMPARE(form.HexFileName(), second);
  QCOMPARE(form.windowTitle(), QStringLiteral("first.hex"));  // set at start-up only
  QCOMPARE(f.ReadIni(), "[PortName]\nName=ttyS0\n[FileName]\nName=" + second + "\n");
  form.ASelectFile()->trigger();  // cancelled: nothing changes
  QCOMPARE(form.HexFileName(), second);
}

void TStartupTest::SettingsWriteFailureReachesTheExceptionDisplay() {
  TWindowFixture f;
  const std::string hex = f.WriteHex("a.hex", 16);
  f.Dialogs.FileAnswers.push_back(hex);
  TForm1Options options;
  options.IniPath = "/proc/hexloader-window-test.ini";  // no one may create files there
  options.EnumPorts = [] { return std::vector<std::string>{}; };
  f.Form = std::make_unique<TForm1>(f.Dialogs, options);
  QCOMPARE(f.Dialogs.Errors, std::vector<std::string>{"Unable to write to /proc/hexloader-window-test.ini."});
  QCOMPARE(f.Form->HexFileName(), hex);  // what the command did before the failure stays done
  // The failure ended start-up at the file: the steps before it ran, the caption was never set.
  QCOMPARE(f.Dialogs.MessagesDuringFileDialog, std::vector<std::string>{PortMessage});
  QCOMPARE(f.Form->windowTitle(), QString::fromUtf8(texts::StoredCaption));
  QVERIFY(f.Form->Form2() != nullptr);  // the window is still built whole
  QCoreApplication::processEvents();
  QCOMPARE(f.Dialogs.Errors.size(), std::size_t(1));
}

void TStartupTest::FileNameWithLineBreakIsRefusedWithItsOwnMessage() {
  TWindowFixture f;
  const std::string first = f.WriteHex("first.hex", 16);
  const std::string ini = "[PortName]\nName=ttyS0\n[FileName]\nName=" + first + "\n";
  f.WriteIni(ini);
  TForm1& form = f.MakeForm({"ttyS0"});
  f.Dialogs.FileAnswers.push_back(f.WriteHex("a\nb.hex", 16));
  form.ASelectFile()->trigger();
  QCOMPARE(f.Dialogs.Errors, std::vector<std::string>{std::string(texts::FileNameWithLineBreak) + "."});
  QCOMPARE(form.HexFileName(), first);  // the choice is refused whole
  QCOMPARE(f.ReadIni(), ini);
}

void TStartupTest::LayoutAsTheOperatorSeesIt() {
  TWindowFixture f;
  f.WriteIni("[PortName]\nName=ttyS0\n[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  TForm1& form = f.MakeForm({"ttyS0"});
  form.show();
  QCOMPARE(form.size(), QSize(344, 128));
  QCOMPARE(form.Image1()->geometry(), QRect(264, 29, 80, 80));
  QVERIFY(!form.Image1()->pixmap().isNull());
  QCOMPARE(form.Animate1()->geometry(), QRect(0, 29, 264, 80));
  QVERIFY(form.Animate1()->isHidden());
  QCOMPARE(form.PortStatusPane()->size(), QSize(47, 15));
  QCOMPARE(form.ProgressBar1()->size(), QSize(293, 15));
  QVERIFY(form.ProgressBar1()->isHidden());
  QCOMPARE(form.ASelectFile()->toolTip(), QStringLiteral("Выбор файла для загрузки"));
  QCOMPARE(form.ABegin()->toolTip(), QStringLiteral("Начать загрузку"));
  QCOMPARE(form.AExit()->toolTip(), QStringLiteral("Выход"));
  QCOMPARE(form.ToolButton2()->toolTip(), QStringLiteral("Выбрать последовательный порт"));
  QCOMPARE(form.Form2()->size(), QSize(195, 57));
  QCOMPARE(form.Form2()->Label1()->text(), QStringLiteral("Включи питание"));
  QVERIFY(form.font().family().contains(QStringLiteral("DejaVu")));
}

namespace {

// The window with Name saved and present: the pane shows it from start-up on.
TForm1& FormWithPort(TWindowFixture& F, const std::string& Name) {
  F.WriteIni("[PortName]\nName=" + Name + "\n[FileName]\nName=" + F.WriteHex("a.hex", 16) + "\n");
  TForm1& form = F.MakeForm({Name});
  form.show();
  return form;
}

// The rightmost column inside the pane's frame that holds anything but the fill: where the text ends.
int InkRight(TStatusPane& Pane) {
  const QImage picture = Pane.grab().toImage();
  const QRgb fill = Pane.palette().color(QPalette::Window).rgb();
  for (int x = picture.width() - 2; x >= 1; --x)
    for (int y = 1; y < picture.height() - 1; ++y)
      if (picture.pixel(x, y) != fill) return x;
  return 0;
}

}  // namespace

void TStartupTest::PortPaneFitsTheName_data() {
  QTest::addColumn<QString>("Name");
  QTest::addColumn<bool>("Whole");  // false: longer than half the status bar, cut in the middle
  QTest::newRow("short name keeps the pane's own width") << "ttyS0" << true;
  QTest::newRow("USB adapter with two digits") << "ttyUSB10" << true;
  QTest::newRow("full device path") << "/dev/ttyACM0" << true;
  QTest::newRow("by-id link of an adapter")
      << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << false;
}

void TStartupTest::PortPaneFitsTheName() {
  QFETCH(QString, Name);
  QFETCH(bool, Whole);
  TWindowFixture f;
  TForm1& form = FormWithPort(f, Name.toStdString());
  TStatusPane& pane = *form.PortStatusPane();
  const TProgressBar& bar = *form.ProgressBar1();
  QCOMPARE(pane.Caption(), Name);
  QCOMPARE(pane.toolTip(), Name);
  QCOMPARE(form.size(), QSize(344, 128));
  // The pane at the left, at least its own 47 pixels, at most half the bar; the progress bar in the rest.
  QCOMPARE(pane.pos(), QPoint(2, 2));
  QCOMPARE(pane.height(), 15);
  QVERIFY(pane.width() >= TStatusBar::MinPaneWidth);
  QVERIFY(pane.width() <= 344 / 2);
  QCOMPARE(bar.geometry(), QRect(2 + pane.width(), 2, 340 - pane.width(), 15));
  if (Whole) {
    QCOMPARE(pane.ShownCaption(), Name);
    QVERIFY2(InkRight(pane) < pane.width() - 3, "the name runs into the pane's right frame");
    if (Name == QStringLiteral("ttyS0")) QCOMPARE(pane.width(), 47);
  } else {
    QCOMPARE(pane.width(), 344 / 2);
    const QString shown = pane.ShownCaption();
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY(shown.startsWith(QStringLiteral("/dev/")));
    QVERIFY(shown.endsWith(QStringLiteral("port0")));  // the end that tells adapters apart is kept
  }
  // A short name again gives the bar its room back.
  form.PortStatusPane()->SetCaption(QStringLiteral("ttyS1"));
  QCOMPARE(pane.width(), 47);
  QCOMPARE(bar.geometry(), QRect(49, 2, 293, 15));
}

// The names that looked the same in a 47-pixel pane must not look the same any more.
void TStartupTest::PortPanePicturesTellNamesApart() {
  QImage pictures[2];
  const char* names[2] = {"ttyUSB1", "ttyUSB10"};
  for (int i = 0; i < 2; ++i) {
    TWindowFixture f;
    TForm1& form = FormWithPort(f, names[i]);
    pictures[i] = form.PortStatusPane()->grab().toImage();
  }
  QVERIFY(pictures[0] != pictures[1]);
}

void TStartupTest::StartWithoutAFileReachesTheExceptionDisplay() {
  TWindowFixture f;
  f.WriteIni("[PortName]\nName=ttyS0\n");
  TForm1& form = f.MakeForm({"ttyS0"});  // the file dialog is cancelled
  form.show();
  form.ABegin()->trigger();
  QCOMPARE(f.Dialogs.Errors.size(), std::size_t(1));
  QVERIFY(QString::fromStdString(f.Dialogs.Errors[0]).startsWith(QStringLiteral("Cannot open file")));
  QVERIFY(!form.SerialComm1().IsOpen());  // the command ended before the port
  QVERIFY(form.Form2()->isHidden());
  QVERIFY(form.ABegin()->isEnabled());
}

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TStartupTest)
#include "startup_test.moc"
