// The Qt dispatcher on the offscreen platform: calls from other threads run on the GUI thread, also
// inside an open message box, exceptions travel back.
#include "ui/qt/qt_ui_dispatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QtTest>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include "core/exception.h"
#include "core/exception_display.h"

using namespace hexloader;

class TQtUiDispatcherTest : public QObject {
  Q_OBJECT

 private slots:
  void CallFromWorkerRunsOnGuiThreadAndBlocks() {
    TQtUiDispatcher dispatcher;
    QThread* gui = QThread::currentThread();
    QThread* ranOn = nullptr;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
      dispatcher.RunInUiThread([&] { ranOn = QThread::currentThread(); });
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 30000);
    worker.join();
    QCOMPARE(ranOn, gui);
    QVERIFY(dispatcher.IsUiThread());
  }

  void ExceptionIsRaisedAgainInWaitingThread() {
    TQtUiDispatcher dispatcher;
    std::string caught;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
      try {
        dispatcher.RunInUiThread([] { throw Exception("from the GUI thread"); });
      } catch (const Exception& e) {
        caught = e.what();
      }
      finished = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(finished.load(), 30000);
    worker.join();
    QCOMPARE(QString::fromStdString(caught), QString("from the GUI thread"));
  }

  void CallsRunInsideOpenMessageBox() {
    TQtUiDispatcher dispatcher;
    std::atomic<int> ran{0};
    bool ranWhileBoxOpen = false;
    QMessageBox box(QMessageBox::Critical, "t", "modal");
    std::thread worker;
    QTimer::singleShot(0, [&] {
      // The box is open now; a worker hands over calls and the modal loop must run them.
      worker = std::thread([&] {
        dispatcher.RunInUiThread([&] {
          ranWhileBoxOpen = box.isVisible();
          ++ran;
        });
        dispatcher.Post([&] { ++ran; });
        dispatcher.RunInUiThread([&] { box.accept(); });
      });
    });
    box.exec();
    worker.join();
    QVERIFY(ranWhileBoxOpen);
    QTRY_COMPARE_WITH_TIMEOUT(ran.load(), 2, 30000);
  }

  void PostedCallsRunInOrderAndShowEscapingExceptions() {
    TQtUiDispatcher dispatcher;
    std::vector<int> order;
    std::vector<std::string> shown;
    SetExceptionDisplay([&](const std::string& m) { shown.push_back(m); });
    dispatcher.Post([&] { order.push_back(1); });
    dispatcher.Post([] { throw Exception("posted failure"); });
    dispatcher.Post([&] { order.push_back(2); });
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t(2), 30000);
    SetExceptionDisplay(nullptr);
    QCOMPARE(order, (std::vector<int>{1, 2}));
    QCOMPARE(shown.size(), size_t(1));
  }

  void TimerRunsOnceInsideAnOpenMessageBoxAndEscapesGoToTheDisplay() {
    TQtUiDispatcher dispatcher;
    std::vector<std::string> shown;
    SetExceptionDisplay([&](const std::string& m) { shown.push_back(m); });
    std::unique_ptr<TUiTimer> timer = dispatcher.CreateTimer();
    int ran = 0;
    bool ranWhileBoxOpen = false;
    QMessageBox box(QMessageBox::Critical, "t", "modal");
    timer->Start(std::chrono::milliseconds(20), [&] {
      ++ran;
      ranWhileBoxOpen = box.isVisible();
      box.accept();
      throw Exception("from the timer");
    });
    QVERIFY(timer->Active());
    box.exec();
    QTest::qWait(100);  // a second run would come now
    SetExceptionDisplay(nullptr);
    QCOMPARE(ran, 1);
    QVERIFY(ranWhileBoxOpen);
    QVERIFY(!timer->Active());
    QCOMPARE(shown, std::vector<std::string>{"from the timer"});
  }

  void StoppedOrRestartedTimerDropsItsFirstCall() {
    TQtUiDispatcher dispatcher;
    std::vector<std::string> ran;
    std::unique_ptr<TUiTimer> stopped = dispatcher.CreateTimer();
    std::unique_ptr<TUiTimer> restarted = dispatcher.CreateTimer();
    std::unique_ptr<TUiTimer> destroyed = dispatcher.CreateTimer();
    stopped->Start(std::chrono::milliseconds(10), [&] { ran.push_back("stopped"); });
    restarted->Start(std::chrono::milliseconds(10), [&] { ran.push_back("first"); });
    destroyed->Start(std::chrono::milliseconds(10), [&] { ran.push_back("destroyed"); });
    stopped->Stop();
    restarted->Start(std::chrono::milliseconds(30), [&] { ran.push_back("second"); });
    destroyed.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!ran.empty(), 30000);
    QTest::qWait(100);
    QCOMPARE(ran, std::vector<std::string>{"second"});
  }

  void OnGuiThreadRunsAtOnce() {
    TQtUiDispatcher dispatcher;
    bool ran = false;
    dispatcher.RunInUiThread([&] { ran = true; });
    QVERIFY(ran);
  }
};

QTEST_MAIN(TQtUiDispatcherTest)
#include "qt_ui_dispatcher_test.moc"
