// The window uploading to the 8051 device program running in s51 (hexloader-sim --s51), offscreen:
// the session driven by a real CPU's replies at the device program's own pace.
#include <QAction>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/ui_dispatcher.h"
#include "tests/ui/window_fixture.h"
#include "tests/upload/s51_device.h"
#include "ui/app_texts.h"
#include "ui/qt/copy_animation.h"
#include "ui/qt/power_prompt.h"
#include "ui/qt/progress_bar.h"
#include "ui/qt/qt_ui_dispatcher.h"
#include "upload/upload_errors.h"

namespace hexloader::test {
namespace {

// Generous: the machine may be loaded. Waiting ends as soon as the condition holds.
constexpr int WaitMs = 120000;

std::vector<std::uint8_t> ReadBytes(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string FolderOf(const TWindowFixture& F) { return std::filesystem::path(F.IniPath()).parent_path().string(); }

}  // namespace

class TS51UploadTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetUiDispatcher(&Dispatcher_); }
  void cleanupTestCase() { SetUiDispatcher(nullptr); }

  void UploadEndsWithTheImageInTheDevice();
  void WrongReplyFromTheDeviceEndsTheSessionWithTheNotice();

 private:
  TForm1& Start(TWindowFixture& F, const TS51Device& Device, int ImageSize);
  TQtUiDispatcher Dispatcher_;
};

TForm1& TS51UploadTest::Start(TWindowFixture& F, const TS51Device& Device, int ImageSize) {
  const std::string hex = F.WriteHex("firmware.hex", ImageSize);
  F.WriteIni("[PortName]\nName=" + Device.PortPath() + "\n[FileName]\nName=" + hex + "\n");
  TForm1& form = F.MakeForm({Device.PortPath()});
  form.show();
  form.ABegin()->trigger();
  return form;
}

void TS51UploadTest::UploadEndsWithTheImageInTheDevice() {
  TWindowFixture f;
  TS51Device device(FolderOf(f), DeviceProgram(), {"--once", "--memory", f.Path("memory.bin")});
  TForm1& form = Start(f, device, 1000);
  QVERIFY(f.Dialogs.Errors.empty());
  QVERIFY(form.Form2()->isVisible());  // until the device program's 0x55

  QTRY_VERIFY_WITH_TIMEOUT(form.Session().Outcome() == TUploadOutcome::Finished, WaitMs);
  QVERIFY(f.Dialogs.Messages.empty());
  QVERIFY(form.Form2()->isHidden());
  QVERIFY(form.ProgressBar1()->isHidden());
  QCOMPARE(int(form.ProgressBar1()->Percent()), 100);
  QVERIFY(!form.Animate1()->Active());
  QVERIFY(form.ABegin()->isEnabled());
  QVERIFY(form.ToolButton2()->isEnabled());

  form.close();  // closing the port lets the simulator end
  QCOMPARE(device.Wait(), 0);
  const std::vector<std::uint8_t> image = ReadBytes(f.Path("firmware.BIN"));
  QCOMPARE(image.size(), std::size_t(1000));
  QCOMPARE(DeviceMemoryDifference(ReadBytes(f.Path("memory.bin")), image), std::string());
  QVERIFY(NoProcessRunningWith(device.Firmware()));
}

void TS51UploadTest::WrongReplyFromTheDeviceEndsTheSessionWithTheNotice() {
  TWindowFixture f;
  // Built to answer frame 4 (the second data frame) wrongly.
  TS51Device device(FolderOf(f), WrongReplyDeviceProgram(), {});
  TForm1& form = Start(f, device, 1000);
  QTRY_VERIFY_WITH_TIMEOUT(form.Session().Outcome() == TUploadOutcome::ReplyError, WaitMs);
  QCOMPARE(f.Dialogs.Messages, std::vector<std::string>{ReplyErrorText});
  QVERIFY(f.Dialogs.Errors.empty());
  QCOMPARE(form.Session().FrameCount(), 0);  // reset by the error
  QVERIFY(form.ProgressBar1()->isHidden());
  QVERIFY(!form.Animate1()->Active());
  for (QAction* a : {form.ABegin(), form.ASelectFile(), form.AExit()}) QVERIFY(a->isEnabled());
  QVERIFY(form.ToolButton2()->isEnabled());
  QCOMPARE(int(form.Session().Stage()), int(Idle));
  form.close();
  QCOMPARE(device.Stop(), 0);
  QVERIFY(NoProcessRunningWith(device.Firmware()));
}

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TS51UploadTest)
#include "s51_upload_test.moc"
