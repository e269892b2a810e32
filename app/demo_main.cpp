// hexloader-gui-demo: the same windows as hexloader, with the simulated device's port added to the
// Port menu and the settings kept apart, so that a newcomer can watch a whole upload without hardware.
// Real ports are still found by the same discovery; nothing pretends a pseudo-terminal is one.
#include <QAction>
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

// Watches the upload for the screenshot and the end of the session.
void Watch(hexloader::TForm1& Form1, const hexloader::TDemoOptions& Options) {
  auto* timer = new QTimer(&Form1);
  auto shot = std::make_shared<bool>(Options.ScreenshotPath.empty());
  auto seenUpload = std::make_shared<bool>(false);
  QObject::connect(timer, &QTimer::timeout, &Form1, [&Form1, Options, shot, seenUpload] {
    const auto stage = Form1.Session().Stage();
    if (stage >= hexloader::AwaitSyncAck) *seenUpload = true;
    if (!*shot && Form1.ProgressBar1()->isVisible() && Form1.ProgressBar1()->Percent() >= Options.ScreenshotPercent) {
      *shot = true;
      if (!Form1.grab().save(QString::fromStdString(Options.ScreenshotPath), "PNG"))
        std::fprintf(stderr, "hexloader-gui-demo: cannot write %s\n", Options.ScreenshotPath.c_str());
      else
        std::printf("screenshot: %s\n", Options.ScreenshotPath.c_str());
      std::fflush(stdout);
    }
    if (Options.QuitAfterUpload && *seenUpload && stage == hexloader::Idle) Form1.AExit()->trigger();
  });
  timer->start(20);
}

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
    Watch(form1, options);
    if (options.Start) QTimer::singleShot(300, &form1, [&form1] { form1.ABegin()->trigger(); });
  });
}
