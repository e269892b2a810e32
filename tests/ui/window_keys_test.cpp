// The window's keys as the operator presses them: the real xcb platform under Xvfb with openbox, so
// that the window is active and the keys go through Qt's shortcut handling. Ctrl+O the file, F4 the
// Port menu with the port in use checked, F5 Start, and no Start while the transfer has the commands
// disabled. The far end of the port is a pseudo-terminal the test drives.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QtTest>

#include "core/ui_dispatcher.h"
#include "tests/ui/window_fixture.h"
#include "ui/qt/power_prompt.h"
#include "ui/qt/qt_ui_dispatcher.h"

namespace hexloader::test {
namespace {

constexpr int WaitMs = 10000;

// A pseudo-terminal whose slave's name the window opens as its port.
class TPortEnd {
 public:
  TPortEnd() {
    char name[256] = {};
    if (::openpty(&Master_, &Slave_, name, nullptr, nullptr) == 0) Name_ = name;
    ::fcntl(Master_, F_SETFL, ::fcntl(Master_, F_GETFL) | O_NONBLOCK);
  }
  ~TPortEnd() {
    ::close(Master_);
    ::close(Slave_);
  }
  TPortEnd(const TPortEnd&) = delete;
  TPortEnd& operator=(const TPortEnd&) = delete;
  const std::string& Name() const { return Name_; }
  void SwitchOn() const {
    const char hello = 0x55;
    QCOMPARE(::write(Master_, &hello, 1), ssize_t(1));
  }

 private:
  int Master_ = -1, Slave_ = -1;
  std::string Name_;
};

}  // namespace

class TWindowKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == QStringLiteral("xcb"), "run on the xcb platform (under Xvfb)");
    SetUiDispatcher(&Dispatcher_);
  }
  void cleanupTestCase() { SetUiDispatcher(nullptr); }
  void KeysRunTheCommandsAsTheButtonsDo();

 private:
  TQtUiDispatcher Dispatcher_;
};

void TWindowKeysTest::KeysRunTheCommandsAsTheButtonsDo() {
  TWindowFixture f;
  TPortEnd port;
  QVERIFY(!port.Name().empty());
  f.WriteIni("[PortName]\nName=" + port.Name() + "\n[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  const std::string other = f.WriteHex("b.hex", 2000);
  TForm1& form = f.MakeForm({"ttyS0", port.Name()});
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));

  // Ctrl+O: the open dialog, answered with another file.
  f.Dialogs.FileAnswers = {other};
  QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(f.Dialogs.FileAsks.size(), std::size_t(1));
  QCOMPARE(form.HexFileName(), other);
  QTest::keyClick(&form, Qt::Key_O);
  QCOMPARE(f.Dialogs.FileAsks.size(), std::size_t(1));

  // F4: the Port menu opens with the port in use checked; the arrows move in it, Esc closes it.
  QStringList checked;
  bool seen = false;
  QTimer::singleShot(0, [&] {
    QTRY_VERIFY(QApplication::activePopupWidget() == form.PortMenu());
    seen = true;
    for (const QAction* item : form.PortMenu()->actions())
      if (item->isChecked()) checked << item->text();
    QTest::keyClick(form.PortMenu(), Qt::Key_Down);
    QVERIFY(form.PortMenu()->activeAction() != nullptr);
    QTest::keyClick(form.PortMenu(), Qt::Key_Escape);
  });
  QTest::keyClick(&form, Qt::Key_F4);
  QTRY_VERIFY(!form.PortMenu()->isVisible());
  QVERIFY2(seen, "F4 opened no menu");
  QCOMPARE(checked, QStringList{QString::fromStdString(port.Name())});

  // F5: Start opens the port and asks for the power.
  QTest::keyClick(&form, Qt::Key_F5);
  QVERIFY(form.SerialComm1().IsOpen());
  QVERIFY(form.Form2()->isVisible());

  // The device's hello: the transfer disables Start, and F5 then does nothing.
  port.SwitchOn();
  QTRY_VERIFY_WITH_TIMEOUT(!form.ABegin()->isEnabled(), WaitMs);
  form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  const auto stage = form.Session().Stage();
  QTest::keyClick(&form, Qt::Key_F5);
  QCOMPARE(int(form.Session().Stage()), int(stage));
  QVERIFY(!form.Form2()->isVisible());
  QVERIFY(f.Dialogs.Errors.empty());
  form.close();
}

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TWindowKeysTest)
#include "window_keys_test.moc"
