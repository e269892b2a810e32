// Exceptions that escape an event handler go to the central exception display, not into Qt's loop.
// This is the last net: Qt's own frames are not unwound cleanly (an escaping mouse event leaks its
// points), which is why every handler of the windows catches for itself (Guarded).
#include <QtTest>

#include "core/exception.h"
#include "core/exception_display.h"
#include "ui/qt/guarded_application.h"

namespace hexloader::test {
namespace {

class TThrowingWidget : public QWidget {
 protected:
  void keyPressEvent(QKeyEvent*) override { throw EAbort("silent"); }
};

}  // namespace

class TGuardedApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void EscapingExceptionsReachTheDisplay() {
    std::vector<std::string> shown;
    SetExceptionDisplay([&shown](const std::string& Message) { shown.push_back(ExceptionDisplayText(Message)); });
    TThrowingWidget widget;
    widget.resize(50, 50);
    widget.show();
    QTest::keyClick(&widget, Qt::Key_A);  // EAbort: nothing shown
    bool posted = false;
    QMetaObject::invokeMethod(
        &widget,
        [&posted] {
          posted = true;
          throw Exception("Ошибка ответа");
        },
        Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(posted, 30000);
    SetExceptionDisplay({});
    QCOMPARE(shown, (std::vector<std::string>{"Ошибка ответа."}));
  }
};

}  // namespace hexloader::test

int main(int argc, char** argv) {
  hexloader::TGuardedApplication app(argc, argv);
  hexloader::test::TGuardedApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "guarded_application_test.moc"
