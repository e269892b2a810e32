// The captions as the X server holds them (what a window manager draws), not as Qt remembers them:
// run on the xcb platform under Xvfb.
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QtTest>
#include <cstdlib>
#include <cstring>

#include "tests/ui/window_fixture.h"
#include "ui/app_texts.h"
#include "ui/message_dialog.h"
#include "ui/power_prompt.h"

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

// The window's _NET_WM_NAME (UTF-8) and WM_NAME (bytes as stored), read on Qt's own connection so that Qt's writes came first.
QStringList NativeTitles(QWidget& W) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11->connection();
  QStringList titles;
  for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, static_cast<xcb_window_t>(W.winId()), Atom(c, name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    titles << (r ? QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)),
                                     xcb_get_property_value_length(r))
                 : QStringLiteral("<no reply>"));
    std::free(r);
  }
  return titles;
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

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TWindowTitleTest)
#include "window_title_test.moc"
