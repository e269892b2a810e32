#include "ui/qt/native_title.h"

#include <QEvent>
#include <QWidget>

namespace hexloader {
namespace {

// Watches its parent window; owned by it.
class TEmptyTitleKeeper final : public QObject {
 public:
  explicit TEmptyTitleKeeper(QWidget& Window) : QObject(&Window), Window_(Window) {}

  bool eventFilter(QObject* Watched, QEvent* Event) override {
    // Both arrive after Qt has written its own title to the native window.
    const bool titleWritten = Event->type() == QEvent::WinIdChange || Event->type() == QEvent::WindowTitleChange;
    if (Watched == &Window_ && titleWritten && Window_.windowTitle().isEmpty()) ClearNativeTitle(Window_);
    return false;
  }

 private:
  QWidget& Window_;
};

}  // namespace

void KeepEmptyTitleEmpty(QWidget& Window) {
  Window.installEventFilter(new TEmptyTitleKeeper(Window));
  if (Window.windowTitle().isEmpty()) ClearNativeTitle(Window);
}

}  // namespace hexloader
