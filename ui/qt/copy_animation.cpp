#include "ui/qt/copy_animation.h"

#include <QPainter>

#include "ui/qt/copy_clip.h"

namespace hexloader {

TAnimate::TAnimate(QWidget* Parent) : QWidget(Parent) {
  Timer_.setInterval(TCopyClip::FrameIntervalMs);
  connect(&Timer_, &QTimer::timeout, this, [this] { Advance(); });
}

void TAnimate::OpenClip() {
  if (ClipOpen_) return;
  ClipOpen_ = true;
  StartFrame_ = 1;
  StopFrame_ = TCopyClip::FrameCount;
  Frame_ = StartFrame_;
}

void TAnimate::showEvent(QShowEvent*) { OpenClip(); }

void TAnimate::SetActive(bool Value) {
  OpenClip();
  if (Value) {
    if (!Timer_.isActive()) Timer_.start();
  } else {
    Timer_.stop();
    Frame_ = StartFrame_;
  }
  update();
}

void TAnimate::Advance() {
  Frame_ = Frame_ >= StopFrame_ ? StartFrame_ : Frame_ + 1;
  update();
}

void TAnimate::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect inner = rect().adjusted(1, 1, -1, -1);
  p.fillRect(rect(), palette().color(QPalette::Window));
  if (!ClipOpen_) return;
  const QSize clip = TCopyClip::FrameSize();
  p.setClipRect(inner);
  p.translate(inner.left() + (inner.width() - clip.width()) / 2, inner.top() + (inner.height() - clip.height()) / 2);
  TCopyClip::DrawFrame(p, Frame_);
}

}  // namespace hexloader
