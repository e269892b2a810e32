// Exceptions that escape an event handler go to the central exception display, not into Qt's loop.
#include <QtTest>

#include "core/exception.h"
#include "core/exception_display.h"
#include "ui/guarded_application.h"

namespace hexloader::test {
namespace {

class TThrowingWidget : public QWidget {
 protected:
  void mousePressEvent(QMouseEvent*) override { throw Exception("Port is not open"); }
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
    QTest::mouseClick(&widget, Qt::LeftButton);
    QTest::keyClick(&widget, Qt::Key_A);  // EAbort: nothing shown
    bool posted = false;
    QMetaObject::invokeMethod(
        &widget, [&posted] { posted = true; throw Exception("Ошибка ответа"); }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(posted, 30000);
    SetExceptionDisplay({});
    QCOMPARE(shown, (std::vector<std::string>{"Port is not open.", "Ошибка ответа."}));
  }
};

}  // namespace hexloader::test

int main(int argc, char** argv) {
  hexloader::TGuardedApplication app(argc, argv);
  hexloader::test::TGuardedApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "guarded_application_test.moc"
