#pragma once
// StatusBar1: the window-coloured strip at the bottom with a flat inner frame and no size grip;
// it holds the port pane and the progress bar at fixed places.
#include <QWidget>

namespace hexloader {

class TStatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit TStatusBar(QWidget* Parent = nullptr) : QWidget(Parent) {}

 protected:
  void paintEvent(QPaintEvent*) override;
};

}  // namespace hexloader
