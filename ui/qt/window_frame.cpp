#include "ui/qt/window_frame.h"

#include <QEvent>

namespace hexloader {
namespace {

// Watches its parent window; owned by it.
class TFrameCentring final : public QObject {
 public:
  TFrameCentring(QWidget& Window, std::function<QRect()> Area)
      : QObject(&Window), Window_(Window), Area_(std::move(Area)) {}

  void Centre() {
    Placed_ = Window_.frameGeometry().size();
    CentreFrame(Window_, Area_());
  }

  bool eventFilter(QObject* Watched, QEvent* Event) override {
    // The frame's size changes once: when the window manager frames the window (a move follows).
    const bool placed = Event->type() == QEvent::Move || Event->type() == QEvent::Show;
    if (Watched == &Window_ && placed && Window_.isVisible() && Window_.frameGeometry().size() != Placed_) Centre();
    return false;
  }

 private:
  QWidget& Window_;
  std::function<QRect()> Area_;
  QSize Placed_;
};

}  // namespace

Qt::WindowFlags FixedDialogFrame(Qt::WindowType Type, bool Minimize) {
  Qt::WindowFlags flags = Type | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (Minimize) flags |= Qt::WindowMinimizeButtonHint;
  return flags;
}

void CentreFrame(QWidget& Window, const QRect& Area) {
  const QSize frame = Window.frameGeometry().size();
  // For a window, move() places the frame's top-left corner.
  Window.move(Area.left() + (Area.width() - frame.width()) / 2, Area.top() + (Area.height() - frame.height()) / 2);
}

void KeepFrameCentred(QWidget& Window, std::function<QRect()> Area) {
  auto* centring = new TFrameCentring(Window, std::move(Area));
  Window.installEventFilter(centring);
  centring->Centre();
}

}  // namespace hexloader
