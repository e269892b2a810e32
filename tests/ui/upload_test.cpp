// Whole uploads through the real window against the simulated device at the far end of a
// pseudo-terminal, and switching ports over real pseudo-terminals.
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/ui_dispatcher.h"
#include "tests/serial/ordinary_user.h"
#include "tests/ui/window_fixture.h"
#include "ui/app_texts.h"
#include "ui/qt/copy_animation.h"
#include "ui/qt/power_prompt.h"
#include "ui/qt/progress_bar.h"
#include "ui/qt/qt_ui_dispatcher.h"
#include "ui/qt/status_pane.h"
#include "upload/upload_errors.h"

namespace hexloader::test {
namespace {

// Generous: the machine may be loaded. Waiting ends as soon as the condition holds.
constexpr int WaitMs = 60000;

std::vector<std::uint8_t> ReadBytes(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The simulated device, started for one test and stopped with it.
class TSimulatedDevice {
 public:
  TSimulatedDevice(const TWindowFixture& F, const QStringList& Faults)
      : Link_(F.Path("ttySIM0")), Memory_(F.Path("memory.bin")) {
    QStringList args{"--link",        QString::fromStdString(Link_),
                     "--memory",      QString::fromStdString(Memory_),
                     "--hello-delay", "0",
                     "--log",         "none"};
    Process_.start(QStringLiteral(HEXLOADER_SIM_PATH), args + Faults);
  }
  ~TSimulatedDevice() {
    Process_.terminate();
    if (!Process_.waitForFinished(WaitMs)) Process_.kill();
  }
  // The link names this device's port (another device may have held the path before).
  bool Ready() {
    std::error_code error;
    return !Port().empty() && std::filesystem::read_symlink(Link_, error).string() == Port();
  }
  // The port's path, from the first line the simulator prints.
  const std::string& Port() {
    if (Port_.empty() && (Process_.canReadLine() || Process_.waitForReadyRead(100)) && Process_.canReadLine())
      Port_ = Process_.readLine().trimmed().toStdString();
    return Port_;
  }
  // Switches a device started with --hello-on-enter on.
  void SwitchOn() {
    Process_.write("\n");
    Process_.waitForBytesWritten(WaitMs);
  }
  // A device that hung up ends by itself (and removes its link).
  bool Ended() { return Process_.state() == QProcess::NotRunning || Process_.waitForFinished(WaitMs); }
  const std::string& Link() const { return Link_; }
  const std::string& Memory() const { return Memory_; }

 private:
  std::string Link_, Memory_, Port_;
  QProcess Process_;
};

// Records each change of an action's enabled state.
struct TEnabledHistory {
  explicit TEnabledHistory(QAction* Action) {
    QObject::connect(Action, &QAction::changed, Action, [this, Action] {
      if (States.empty() || States.back() != Action->isEnabled()) States.push_back(Action->isEnabled());
    });
  }
  std::vector<bool> States;
};

}  // namespace

class TUploadTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetUiDispatcher(&Dispatcher_); }
  void cleanupTestCase() { SetUiDispatcher(nullptr); }

  void FullUploadDisablesCommandsAndEnablesThemAgain();
  void WrongReplyEndsTheSessionWithTheNotice();
  void ExitDuringAnUploadClosesPortAndReleasesImage();
  void PickingAPortWhileAnotherIsOpenClosesTheOldOne();
  void PortThatFailsToOpenReachesTheDisplayAndKeepsThePane();
  void DeviceLostResetsTheWindowAndTheDeviceCanComeBack_data();
  void DeviceLostResetsTheWindowAndTheDeviceCanComeBack();
  void SilentDeviceShowsTheNoticeAndTheNextStartWaitsForTheHello();
  void PortPluggedInAfterStartUpIsListedAndCanBeChosen();
  void PortOfAnotherGroupBringsTheAdvice();

 private:
  TForm1& StartWithDevice(TWindowFixture& F, TSimulatedDevice& Device, int ImageSize, const std::string& MoreIni = "");
  // After a failed session: what the operator sees is the state after "Ошибка ответа".
  static void VerifyResetAfterFailure(TForm1& Form);
  // A whole upload of the window's image to Device; true when the device got exactly the image.
  static bool DeviceReceivedTheImage(TWindowFixture& F, TSimulatedDevice& Device);
  TQtUiDispatcher Dispatcher_;
};

TForm1& TUploadTest::StartWithDevice(TWindowFixture& F, TSimulatedDevice& Device, int ImageSize,
                                     const std::string& MoreIni) {
  [&] { QTRY_VERIFY_WITH_TIMEOUT(Device.Ready(), WaitMs); }();
  const std::string hex = F.WriteHex("firmware.hex", ImageSize);
  F.WriteIni("[PortName]\nName=" + Device.Link() + "\n[FileName]\nName=" + hex + "\n" + MoreIni);
  TForm1& form = F.MakeForm({Device.Link()});
  form.show();
  return form;
}

void TUploadTest::FullUploadDisablesCommandsAndEnablesThemAgain() {
  TWindowFixture f;
  TSimulatedDevice device(f, {});
  TForm1& form = StartWithDevice(f, device, 1000);
  TEnabledHistory begin(form.ABegin()), selectFile(form.ASelectFile());

  form.ABegin()->trigger();
  QVERIFY(f.Dialogs.Errors.empty());
  QVERIFY(form.SerialComm1().IsOpen());
  QVERIFY(form.Form2()->isVisible());  // waiting for the device's first byte, commands still enabled
  QVERIFY(form.ABegin()->isEnabled());
  QCOMPARE(form.ProgressBar1()->TotalParts(), 1000u / 128);

  QTRY_VERIFY_WITH_TIMEOUT(form.Session().Outcome() == TUploadOutcome::Finished, WaitMs);
  QCOMPARE(begin.States, (std::vector<bool>{false, true}));
  QCOMPARE(selectFile.States, (std::vector<bool>{false, true}));
  QVERIFY(form.ToolButton2()->isEnabled());
  QVERIFY(form.Form2()->isHidden());
  QVERIFY(form.ProgressBar1()->isHidden());
  QCOMPARE(int(form.ProgressBar1()->Percent()), 100);
  QVERIFY(form.Animate1()->isHidden());
  QVERIFY(!form.Animate1()->Active());
  QVERIFY(form.SerialComm1().IsOpen());  // the port stays open after the session
  QVERIFY(f.Dialogs.Messages.empty());

  QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(device.Memory()), WaitMs);
  const std::vector<std::uint8_t> image = ReadBytes(f.Path("firmware.BIN"));
  QTRY_VERIFY_WITH_TIMEOUT(ReadBytes(device.Memory()).size() >= image.size(), WaitMs);
  const std::vector<std::uint8_t> memory = ReadBytes(device.Memory());
  QCOMPARE(image.size(), std::size_t(1000));
  QVERIFY(std::equal(image.begin(), image.end(), memory.begin()));
}

void TUploadTest::WrongReplyEndsTheSessionWithTheNotice() {
  TWindowFixture f;
  TSimulatedDevice device(f, {"--wrong-reply-at", "4"});  // sync, address, data 1, then data 2 answered wrong
  TForm1& form = StartWithDevice(f, device, 1000);
  form.ABegin()->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(form.Session().Outcome() == TUploadOutcome::ReplyError, WaitMs);
  QCOMPARE(f.Dialogs.Messages, std::vector<std::string>{ReplyErrorText});
  QVERIFY(f.Dialogs.Errors.empty());
  for (QAction* a : {form.ABegin(), form.ASelectFile(), form.AExit()}) QVERIFY(a->isEnabled());
  QVERIFY(form.ToolButton2()->isEnabled());
  QVERIFY(form.ProgressBar1()->isHidden());
  QCOMPARE(form.ProgressBar1()->PartsComplete(), 0u);
  QVERIFY(form.Animate1()->isHidden());
  QVERIFY(!form.Animate1()->Active());
  QCOMPARE(int(form.Session().Stage()), int(Idle));
}

void TUploadTest::ExitDuringAnUploadClosesPortAndReleasesImage() {
  TWindowFixture f;
  TSimulatedDevice device(f, {"--silent-from", "5"});  // stops answering in the middle
  TForm1& form = StartWithDevice(f, device, 2000);
  bool closed = false;
  connect(&form, &TForm1::Closed, this, [&closed] { closed = true; });
  form.ABegin()->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(form.Session().FrameCount() >= 2, WaitMs);
  QVERIFY(!form.ABegin()->isEnabled());
  QVERIFY(form.AExit()->isEnabled());  // Exit is never disabled
  form.AExit()->trigger();
  QVERIFY(closed);
  QVERIFY(!form.isVisible());
  QVERIFY(!form.SerialComm1().IsOpen());
  QVERIFY(!form.Session().ImageOpen());
  QVERIFY(!form.Animate1()->Active());
  QVERIFY(f.Dialogs.Errors.empty());
}

void TUploadTest::PickingAPortWhileAnotherIsOpenClosesTheOldOne() {
  TWindowFixture f;
  int masters[2], slaves[2];
  std::string names[2];
  for (int i = 0; i < 2; ++i) {
    char name[256];
    QCOMPARE(::openpty(&masters[i], &slaves[i], name, nullptr, nullptr), 0);
    ::close(slaves[i]);  // the window opens the port itself
    names[i] = name;
  }
  f.WriteIni("[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  TForm1& form = f.MakeForm({names[0], names[1]});
  QCoreApplication::processEvents();
  f.Dialogs.Messages.clear();

  form.PortMenuClick(names[0]);
  QVERIFY(form.SerialComm1().IsOpen());
  QCOMPARE(form.PortStatusPane()->Caption(), QString::fromStdString(names[0]));
  form.PortMenuClick(names[1]);
  QVERIFY(f.Dialogs.Errors.empty());
  QVERIFY(form.SerialComm1().IsOpen());
  QCOMPARE(form.SerialComm1().DeviceName(), names[1]);
  QCOMPARE(form.PortStatusPane()->Caption(), QString::fromStdString(names[1]));
  QVERIFY(f.ReadIni().find("[PortName]\nName=" + names[1] + "\n") != std::string::npos);
  // The first port was released: another component may open it now.
  TSerialComm other;
  other.SetDeviceName(names[0]);
  other.Open();
  QVERIFY(other.IsOpen());
  other.Close();
  form.close();
  for (int m : masters) ::close(m);
}

void TUploadTest::PortThatFailsToOpenReachesTheDisplayAndKeepsThePane() {
  TWindowFixture f;
  f.WriteIni("[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  const std::string missing = f.Path("ttyGONE");
  TForm1& form = f.MakeForm({missing});
  QCoreApplication::processEvents();
  form.PortMenuClick(missing);
  QCOMPARE(f.Dialogs.Errors.size(), std::size_t(1));
  QVERIFY(!form.SerialComm1().IsOpen());
  // The pane and the setting keep what last opened (nothing).
  QVERIFY(form.PortStatusPane()->Caption().isEmpty());
  QVERIFY(f.ReadIni().find("PortName") == std::string::npos);
}

void TUploadTest::VerifyResetAfterFailure(TForm1& Form) {
  for (QAction* a : {Form.ABegin(), Form.ASelectFile(), Form.AExit()}) QVERIFY(a->isEnabled());
  QVERIFY(Form.ToolButton2()->isEnabled());
  QVERIFY(Form.ProgressBar1()->isHidden());
  QCOMPARE(Form.ProgressBar1()->PartsComplete(), 0u);
  QVERIFY(Form.Animate1()->isHidden());
  QVERIFY(!Form.Animate1()->Active());
  QVERIFY(Form.Form2()->isHidden());
  QCOMPARE(int(Form.Session().Stage()), int(Idle));
}

bool TUploadTest::DeviceReceivedTheImage(TWindowFixture& F, TSimulatedDevice& Device) {
  const std::vector<std::uint8_t> image = ReadBytes(F.Path("firmware.BIN"));
  if (!QTest::qWaitFor([&] { return ReadBytes(Device.Memory()).size() >= image.size(); }, WaitMs)) return false;
  const std::vector<std::uint8_t> memory = ReadBytes(Device.Memory());
  return !image.empty() && std::equal(image.begin(), image.end(), memory.begin());
}

void TUploadTest::DeviceLostResetsTheWindowAndTheDeviceCanComeBack_data() {
  QTest::addColumn<bool>("PickThePortFirst");
  QTest::newRow("Start opens the port anew") << false;
  QTest::newRow("the port picked again, then Start") << true;
}

void TUploadTest::DeviceLostResetsTheWindowAndTheDeviceCanComeBack() {
  QFETCH(bool, PickThePortFirst);
  TWindowFixture f;
  auto first = std::make_unique<TSimulatedDevice>(f, QStringList{"--hangup-at", "3"});  // at the first data frame
  TForm1& form = StartWithDevice(f, *first, 1000);
  form.ABegin()->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(!f.Dialogs.Errors.empty(), WaitMs);
  QTest::qWait(2000);  // a retrying thread would bring the box back many times meanwhile
  QCOMPARE(f.Dialogs.Errors.size(), std::size_t(1));
  QVERIFY2(f.Dialogs.Errors[0].find("(5), Input/output error") != std::string::npos, f.Dialogs.Errors[0].c_str());
  QVERIFY(f.Dialogs.Messages.empty());  // no second message from the session
  QCOMPARE(int(form.Session().Outcome()), int(TUploadOutcome::PortError));
  VerifyResetAfterFailure(form);
  QVERIFY(!form.SerialComm1().IsOpen());
  // The pane and the setting keep the port.
  QCOMPARE(form.PortStatusPane()->Caption(), QString::fromStdString(first->Link()));
  QVERIFY(f.ReadIni().find("Name=" + first->Link() + "\n") != std::string::npos);

  // The device comes back at the same path; no restart.
  QVERIFY(first->Ended());
  TSimulatedDevice second(f, {"--hello-on-enter"});
  QTRY_VERIFY_WITH_TIMEOUT(second.Ready(), WaitMs);
  if (PickThePortFirst) {
    form.PortMenuClick(second.Link());
    QVERIFY(form.SerialComm1().IsOpen());
  }
  form.ABegin()->trigger();
  QVERIFY(form.SerialComm1().IsOpen());
  QVERIFY(form.Form2()->isVisible());
  second.SwitchOn();
  QTRY_VERIFY_WITH_TIMEOUT(form.Session().Outcome() == TUploadOutcome::Finished, WaitMs);
  QVERIFY(DeviceReceivedTheImage(f, second));
  QCOMPARE(f.Dialogs.Errors.size(), std::size_t(1));
  QVERIFY(f.Dialogs.Messages.empty());
}

void TUploadTest::SilentDeviceShowsTheNoticeAndTheNextStartWaitsForTheHello() {
  TWindowFixture f;
  TSimulatedDevice first(f, {"--silent-from", "4"});  // the second data frame gets no reply
  TForm1& form = StartWithDevice(f, first, 1000, "[Upload]\nReplyTimeoutMs=1000\n");
  form.ABegin()->trigger();
  QCOMPARE(form.Session().ReplyTimeoutMs(), 1000);
  QTRY_VERIFY_WITH_TIMEOUT(!f.Dialogs.Messages.empty(), WaitMs);
  QCOMPARE(f.Dialogs.Messages, std::vector<std::string>{NoReplyText});
  QVERIFY(f.Dialogs.Errors.empty());
  QCOMPARE(int(form.Session().Outcome()), int(TUploadOutcome::Silent));
  VerifyResetAfterFailure(form);
  QVERIFY(form.SerialComm1().IsOpen());  // left open
  QVERIFY(f.ReadIni().find("ReplyTimeoutMs=1000\n") != std::string::npos);

  // The next Start waits for the device's hello again, without limit.
  form.ABegin()->trigger();
  QVERIFY(form.Form2()->isVisible());
  QCOMPARE(int(form.Session().Stage()), int(AwaitHello));
  QTest::qWait(1500);  // longer than the reply time-out
  QCOMPARE(int(form.Session().Stage()), int(AwaitHello));
  QCOMPARE(f.Dialogs.Messages.size(), std::size_t(1));

  // Another device at the same path; the operator picks the port again and switches it on.
  TSimulatedDevice second(f, {"--hello-on-enter"});
  QTRY_VERIFY_WITH_TIMEOUT(second.Ready(), WaitMs);
  form.PortMenuClick(second.Link());
  second.SwitchOn();
  QTRY_VERIFY_WITH_TIMEOUT(form.Session().Outcome() == TUploadOutcome::Finished, WaitMs);
  QVERIFY(DeviceReceivedTheImage(f, second));
  QCOMPARE(f.Dialogs.Messages.size(), std::size_t(1));
  QVERIFY(f.Dialogs.Errors.empty());
}

namespace {

// The Port menu's item captions as the operator sees them when the menu opens.
QStringList OpenPortMenu(TForm1& Form) {
  Form.PortMenu()->popup(Form.ToolButton2()->mapToGlobal(QPoint(0, Form.ToolButton2()->height())));
  QStringList captions;
  for (const QAction* item : Form.PortMenu()->actions()) captions << item->text();
  return captions;
}

}  // namespace

void TUploadTest::PortPluggedInAfterStartUpIsListedAndCanBeChosen() {
  TWindowFixture f;
  f.WriteIni("[PortName]\nName=ttyUSB0\n[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  auto present = std::make_shared<std::vector<std::string>>(std::vector<std::string>{"ttyS0"});
  TForm1Options options;
  options.IniPath = f.IniPath();
  options.EnumPorts = [present] { return *present; };
  f.Form = std::make_unique<TForm1>(f.Dialogs, options);
  TForm1& form = *f.Form;
  form.show();
  QCoreApplication::processEvents();
  QCOMPARE(f.Dialogs.Messages, std::vector<std::string>{texts::PortNotDefined});  // start-up as before
  QCOMPARE(OpenPortMenu(form), QStringList{"ttyS0"});
  form.PortMenu()->hide();

  // An adapter is plugged in: a pseudo-terminal that appears in discovery now.
  int master = -1, slave = -1;
  char name[256] = {};
  QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  present->push_back(name);
  QCOMPARE(OpenPortMenu(form), (QStringList{name, "ttyS0"}));  // sorted, captions exactly the names

  // Chosen with the mouse, it opens and reaches the pane and the settings.
  QAction* item = form.PortMenu()->actions().front();
  QTest::mouseClick(form.PortMenu(), Qt::LeftButton, {}, form.PortMenu()->actionGeometry(item).center());
  QTRY_VERIFY(!form.PortMenu()->isVisible());
  QVERIFY(f.Dialogs.Errors.empty());
  QVERIFY(form.SerialComm1().IsOpen());
  QCOMPARE(form.PortStatusPane()->Caption(), QString::fromLatin1(name));
  QVERIFY(f.ReadIni().find(std::string("[PortName]\nName=") + name + "\n") != std::string::npos);

  // Unplugged again: gone from the menu the next time it opens.
  present->pop_back();
  QCOMPARE(OpenPortMenu(form), QStringList{"ttyS0"});
  form.PortMenu()->hide();
  form.close();
  ::close(master);
}

void TUploadTest::PortOfAnotherGroupBringsTheAdvice() {
  const int dialout = GroupId("dialout");
  if (::geteuid() != 0 || dialout < 0) QSKIP("needs root (to set the node's group and act as nobody)");
  TWindowFixture f;
  f.WriteIni("[FileName]\nName=" + f.WriteHex("a.hex", 16) + "\n");
  int master = -1, slave = -1;
  char name[256] = {};
  QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  QCOMPARE(::fchown(slave, 0, dialout), 0);
  QCOMPARE(::fchmod(slave, 0660), 0);
  TForm1& form = f.MakeForm({name});
  QCoreApplication::processEvents();
  {
    TAsOrdinaryUser nobody;
    QVERIFY(nobody.Active());
    form.PortMenuClick(name);
  }
  QCOMPARE(f.Dialogs.Errors,
           std::vector<std::string>{std::string("Can't open specified device ") + name +
                                    " (Error 13, Permission denied)\n"
                                    "Нет доступа к порту: добавьте пользователя в группу dialout (sudo usermod -aG "
                                    "dialout $USER) и войдите в систему заново."});
  QVERIFY(form.PortStatusPane()->Caption().isEmpty());
  ::close(master);
  ::close(slave);
}

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TUploadTest)
#include "upload_test.moc"
