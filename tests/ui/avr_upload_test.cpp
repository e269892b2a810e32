// The window uploading the AVR sample firmware to our ATmega328P bootloader running in simavr
// (hexloader-sim --avr), offscreen: the session driven by a real AVR core's replies, the flash written
// page by page, and the uploaded program running once the bootloader has handed over.
#include <QAction>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/ui_dispatcher.h"
#include "tests/ui/window_fixture.h"
#include "tests/upload/avr_device.h"
#include "ui/qt/copy_animation.h"
#include "ui/qt/power_prompt.h"
#include "ui/qt/progress_bar.h"
#include "ui/qt/qt_ui_dispatcher.h"

namespace hexloader::test {
namespace {

// Generous: the machine may be loaded. Waiting ends as soon as the condition holds.
constexpr int WaitMs = 120000;

std::vector<std::uint8_t> ReadBytes(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class TAvrUploadTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetUiDispatcher(&Dispatcher_); }
  void cleanupTestCase() { SetUiDispatcher(nullptr); }

  void SampleIsWrittenAndRunsOnTheBoard();

 private:
  TQtUiDispatcher Dispatcher_;
};

void TAvrUploadTest::SampleIsWrittenAndRunsOnTheBoard() {
  TWindowFixture f;
  const std::string folder = std::filesystem::path(f.IniPath()).parent_path().string();
  const std::string hex = f.Path("blink-avr.hex");
  std::filesystem::copy_file(HEXLOADER_AVR_SAMPLE_PATH, hex);
  TAvrDevice device(folder, {"--once", "--app-ms", "600", "--memory", f.Path("flash.bin")});
  f.WriteIni("[PortName]\nName=" + device.PortPath() + "\n[FileName]\nName=" + hex + "\n");
  TForm1& form = f.MakeForm({device.PortPath()});
  form.show();
  form.ABegin()->trigger();
  QVERIFY(f.Dialogs.Errors.empty());
  QVERIFY(form.Form2()->isVisible());  // until the bootloader's 0x55

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
  const std::vector<std::uint8_t> image = ReadBytes(f.Path("blink-avr.BIN"));
  QVERIFY(!image.empty());
  QCOMPARE(AvrFlashDifference(ReadBytes(f.Path("flash.bin")), image), std::string());
  // The program runs: the LED pin goes high as it starts, low 250 ms later, high again at 500 ms.
  const std::string log = device.Errors();
  QVERIFY2(ApplicationStartSeconds(log) >= 0, log.c_str());
  QCOMPARE(PinEdges(log, 5).size(), std::size_t(3));
}

}  // namespace hexloader::test

QTEST_MAIN(hexloader::test::TAvrUploadTest)
#include "avr_upload_test.moc"
