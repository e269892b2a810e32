#pragma once
// StatusBar1: the window-coloured strip at the bottom with a flat inner frame and no size grip. It
// holds the port pane at its left, as wide as the pane's caption needs (at least 47 pixels, at most
// half the bar), and the progress bar in the rest; the two are arranged anew when the caption changes.
#include <QWidget>

namespace hexloader {

class TStatusPane;

class TStatusBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int MinPaneWidth = 47;

  explicit TStatusBar(QWidget* Parent = nullptr) : QWidget(Parent) {}

  // Places Pane and Rest (children of this bar) and keeps them arranged.
  void Arrange(TStatusPane* Pane, QWidget* Rest);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void LayOut();

  TStatusPane* Pane_ = nullptr;
  QWidget* Rest_ = nullptr;
};

}  // namespace hexloader
