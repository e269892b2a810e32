// Captions and frames as the X server holds them (what a window manager draws), not as Qt remembers
// them: run on the xcb platform under Xvfb with openbox.
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QtTest>
#include <cstdlib>
#include <cstring>

#include "tests/ui/window_fixture.h"
#include "ui/app_texts.h"
#include "ui/qt/message_dialog.h"
#include "ui/qt/power_prompt.h"

namespace hexloader::test {
namespace {

xcb_atom_t Atom(xcb_connection_t* C, const char* Name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(C, xcb_intern_atom(C, 0, static_cast<std::uint16_t>(std::strlen(Name)), Name), nullptr);
  xcb_atom_t atom = XCB_ATOM_NONE;
  if (r != nullptr) atom = r->atom;
  std::free(r);
  return atom;
}

// The window's _NET_WM_NAME (UTF-8) and WM_NAME (bytes as stored), read on Qt's own connection so that Qt's writes came
// first.
QStringList NativeTitles(QWidget& W) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11->connection();
  QStringList titles;
  for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, static_cast<xcb_window_t>(W.winId()), Atom(c, name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    titles << (r ? QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)),
                                     xcb_get_property_value_length(r))
                 : QStringLiteral("<no reply>"));
    std::free(r);
  }
  return titles;
}

// The Motif hints every window manager that honours them reads: functions and decorations.
struct TMotifHints {
  std::uint32_t Functions = 0;
  std::uint32_t Decorations = 0;
};
TMotifHints MotifHints(QWidget& W) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11->connection();
  const xcb_atom_t atom = Atom(c, "_MOTIF_WM_HINTS");
  xcb_get_property_reply_t* r = xcb_get_property_reply(
      c, xcb_get_property(c, 0, static_cast<xcb_window_t>(W.winId()), atom, atom, 0, 5), nullptr);
  TMotifHints hints;
  if (r != nullptr && xcb_get_property_value_length(r) >= 12) {
    const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(r));
    hints = {v[1], v[2]};
  }
  std::free(r);
  return hints;
}
constexpr std::uint32_t FuncMinimize = 0x08, FuncMaximize = 0x10, FuncClose = 0x20;
constexpr std::uint32_t DecorMinimize = 0x20, DecorMaximize = 0x40;

// Waits until the window manager has framed the window (its frame is then known to Qt).
bool Framed(QWidget& W) {
  return QTest::qWaitFor([&] { return W.frameGeometry().size() != W.size(); }, 5000);
}

}  // namespace

class TWindowTitleTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == QStringLiteral("xcb"), "run on the xcb platform (under Xvfb)");
    QApplication::setApplicationName(QString::fromUtf8(texts::ApplicationTitle));  // as the program does
  }
  void Titles_data();
  void Titles();
  void Frames_data();
  void Frames();
};

void TWindowTitleTest::Titles_data() {
  QTest::addColumn<QString>("Window");
  QTest::addColumn<bool>("FileKnown");
  QTest::addColumn<QString>("Title");
  QTest::newRow("power-on prompt shown") << "Form2" << true << "";
  QTest::newRow("main window, no file known") << "Form1" << false << "";
  QTest::newRow("main window, file known") << "Form1" << true << "a.hex";
  QTest::newRow("message dialog") << "message" << true << QString::fromUtf8(texts::ApplicationTitle);
}

void TWindowTitleTest::Titles() {
  QFETCH(QString, Window);
  QFETCH(bool, FileKnown);
  QFETCH(QString, Title);
  TWindowFixture f;
  f.WriteIni(FileKnown ? "[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n" : std::string());
  TForm1& form = f.MakeForm({});  // no file known: the dialog is cancelled
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QWidget* shown = &form;
  TMessageDialog message(QStringLiteral("x"));
  if (Window == QStringLiteral("Form2")) {
    form.Form2()->ShowCentred();
    shown = form.Form2();
  } else if (Window == QStringLiteral("message")) {
    message.show();
    shown = &message;
  }
  QVERIFY(QTest::qWaitForWindowExposed(shown));
  const QStringList titles = NativeTitles(*shown);
  QCOMPARE(titles[0], Title);
  if (Title.isEmpty()) QCOMPARE(titles[1], Title);  // else in the X server's own encoding
}

void TWindowTitleTest::Frames_data() {
  QTest::addColumn<QString>("Window");
  QTest::addColumn<bool>("Minimize");
  QTest::newRow("main window keeps minimize") << "Form1" << true;
  QTest::newRow("power-on prompt") << "Form2" << false;
  QTest::newRow("message dialog") << "message" << false;
}

void TWindowTitleTest::Frames() {
  QFETCH(QString, Window);
  QFETCH(bool, Minimize);
  TWindowFixture f;
  f.WriteIni("[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  TForm1& form = f.MakeForm({});
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QVERIFY2(Framed(form), "no window manager framed the window");
  QWidget* shown = &form;
  TMessageDialog message(QStringLiteral("x"));
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  if (Window == QStringLiteral("Form2")) {
    form.Form2()->ShowCentred();
    shown = form.Form2();
    area = form.frameGeometry();
  } else if (Window == QStringLiteral("message")) {
    message.show();
    shown = &message;
    area = QGuiApplication::primaryScreen()->geometry();
  }
  QVERIFY(QTest::qWaitForWindowExposed(shown));
  QVERIFY(Framed(*shown));

  const TMotifHints hints = MotifHints(*shown);
  QCOMPARE(bool(hints.Functions & FuncClose), true);
  QCOMPARE(bool(hints.Functions & FuncMaximize), false);
  QCOMPARE(bool(hints.Decorations & DecorMaximize), false);
  QCOMPARE(bool(hints.Functions & FuncMinimize), Minimize);
  QCOMPARE(bool(hints.Decorations & DecorMinimize), Minimize);

  // The whole frame, title bar included, is centred (to the pixel the halves allow).
  QTRY_VERIFY_WITH_TIMEOUT((shown->frameGeometry().center() - area.center()).manhattanLength() <= 2, 5000);
}

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TWindowTitleTest)
#include "window_frame_test.moc"
