#include "ui/qt/status_bar.h"

#include <QPainter>
#include <algorithm>

#include "ui/qt/status_pane.h"

namespace hexloader {
namespace {

constexpr int Margin = 2;  // the frame and a pixel of room on every side of the panes

}  // namespace

void TStatusBar::Arrange(TStatusPane* Pane, QWidget* Rest) {
  Pane_ = Pane;
  Rest_ = Rest;
  connect(Pane_, &TStatusPane::NeededWidthChanged, this, &TStatusBar::LayOut);
  LayOut();
}

void TStatusBar::LayOut() {
  if (!Pane_ || !Rest_) return;
  const int height = this->height() - 2 * Margin;
  const int paneWidth = std::max(MinPaneWidth, std::min(Pane_->NeededWidth(), width() / 2));
  Pane_->setGeometry(Margin, Margin, paneWidth, height);
  Rest_->setGeometry(Margin + paneWidth, Margin, width() - 2 * Margin - paneWidth, height);
}

void TStatusBar::resizeEvent(QResizeEvent*) { LayOut(); }

void TStatusBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace hexloader
