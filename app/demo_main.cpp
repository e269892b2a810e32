// hexloader-gui-demo: the same windows as hexloader, with the simulated device's port added to the
// Port menu and the settings kept apart, so that a newcomer can watch a whole upload without hardware.
// Real ports are still found by the same discovery; nothing pretends a pseudo-terminal is one.
#include <QAction>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <stdexcept>

#include "app/demo_options.h"
#include "app/gui_session.h"
#include "core/file_size_signal.h"
#include "serial/enum_com_ports.h"
#include "ui/qt/guarded_application.h"
#include "ui/qt/progress_bar.h"

namespace {

// Watches the upload for the screenshot and the end of the session. Driven by the window's own
// changes (the progress bar painted, the commands enabled again), not by a timer: a watcher that
// polled would wake the user-interface thread many times a frame and spoil what the benchmarks count.
class TUploadWatcher : public QObject {
 public:
  TUploadWatcher(hexloader::TForm1& Form1, const hexloader::TDemoOptions& Options)
      : QObject(&Form1), Form1_(Form1), Options_(Options), Shot_(Options.ScreenshotPath.empty()) {
    Form1.ProgressBar1()->installEventFilter(this);
    // Start is disabled while an upload runs and enabled again when it has ended.
    connect(Form1.ABegin(), &QAction::changed, this, [this] { QTimer::singleShot(0, this, [this] { CheckEnd(); }); });
  }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    // Grabbed after the paint, not inside it.
    if (!Shot_ && Event->type() == QEvent::Paint) QTimer::singleShot(0, this, [this] { CheckShot(); });
    return QObject::eventFilter(Watched, Event);
  }

 private:
  void CheckShot() {
    if (Shot_ || !Form1_.ProgressBar1()->isVisible() || Form1_.ProgressBar1()->Percent() < Options_.ScreenshotPercent)
      return;
    Shot_ = true;
    if (!Form1_.grab().save(QString::fromStdString(Options_.ScreenshotPath), "PNG"))
      std::fprintf(stderr, "hexloader-gui-demo: cannot write %s\n", Options_.ScreenshotPath.c_str());
    else std::printf("screenshot: %s\n", Options_.ScreenshotPath.c_str());
    std::fflush(stdout);
  }

  void CheckEnd() {
    const auto stage = Form1_.Session().Stage();
    if (stage != hexloader::Idle) SeenUpload_ = true;
    if (Options_.QuitAfterUpload && SeenUpload_ && stage == hexloader::Idle) Form1_.AExit()->trigger();
  }

  hexloader::TForm1& Form1_;
  hexloader::TDemoOptions Options_;
  bool Shot_;
  bool SeenUpload_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  hexloader::IgnoreFileSizeSignal();
  hexloader::TDemoOptions options;
  try {
    options = hexloader::ParseDemoOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hexloader-gui-demo: %s\n\n%s", e.what(), hexloader::DemoUsage);
    return 1;
  }
  if (options.Help) {
    std::printf("%s", hexloader::DemoUsage);
    return 0;
  }
  int qtArgc = 1;
  hexloader::TGuardedApplication app(qtArgc, argv);
  hexloader::TGuiSession session;
  hexloader::TForm1Options formOptions;
  formOptions.IniPath = options.SettingsPath;
  formOptions.EnumPorts = [extra = options.ExtraPorts] {
    std::vector<std::string> names = hexloader::EnumComPorts();
    names.insert(names.end(), extra.begin(), extra.end());
    return names;
  };
  return hexloader::RunMainWindow(session.Dialogs(), formOptions, [&options](hexloader::TForm1& form1) {
    new TUploadWatcher(form1, options);  // owned by the window
    if (options.Start) QTimer::singleShot(300, &form1, [&form1] { form1.ABegin()->trigger(); });
  });
}
