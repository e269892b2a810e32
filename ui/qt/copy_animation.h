#pragma once
// Animate1: plays the copy clip in a loop while Active, centred and transparent over the window
// colour with a 1-pixel margin. The clip is opened when the control is first shown (or first played),
// which sets StartFrame to 1 and StopFrame to the clip's frame count.
#include <QTimer>
#include <QWidget>

namespace hexloader {

class TAnimate : public QWidget {
  Q_OBJECT
 public:
  explicit TAnimate(QWidget* Parent = nullptr);

  bool Active() const { return Timer_.isActive(); }
  // True: play StartFrame..StopFrame and again, without end. False: stop and show StartFrame.
  void SetActive(bool Value);
  int StartFrame() const { return StartFrame_; }
  int StopFrame() const { return StopFrame_; }
  int CurrentFrame() const { return Frame_; }
  bool ClipOpen() const { return ClipOpen_; }

 protected:
  void showEvent(QShowEvent*) override;
  void paintEvent(QPaintEvent*) override;

 private:
  void OpenClip();
  void Advance();

  QTimer Timer_;
  bool ClipOpen_ = false;
  int StartFrame_ = 1;
  int StopFrame_ = 81;  // as stored with the window; opening the clip replaces it
  int Frame_ = 1;
};

}  // namespace hexloader
