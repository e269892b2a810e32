#pragma once
// ProgressBar1: the parts of a job as a bar with its percentage, the text in inverse colours where the
// bar has passed. The arithmetic is TProgressParts; the bar repaints only when the integer percentage
// changes, and composes each picture off-screen before it goes to the window in one step.
#include <QColor>
#include <QImage>
#include <QWidget>
#include <cstdint>

#include "upload/progress_parts.h"

namespace hexloader {

class TProgressBar : public QWidget {
  Q_OBJECT
 public:
  explicit TProgressBar(QWidget* Parent = nullptr);

  std::uint32_t TotalParts() const { return Parts_.TotalParts(); }
  void SetTotalParts(std::uint32_t Value) { Parts_.SetTotalParts(Value); }
  std::uint32_t PartsComplete() const { return Parts_.PartsComplete(); }
  void SetPartsComplete(std::uint32_t Value) { Parts_.SetPartsComplete(Value); }
  std::uint16_t Percent() const { return Parts_.Percent(); }
  bool ShowPercent() const { return ShowPercent_; }
  void SetShowPercent(bool Value);

  QColor BackColor() const;
  QColor BarColor() const;

  // How often a changed percentage asked for a new picture.
  int RepaintRequests() const { return RepaintRequests_; }
  // The rectangle inside the frame.
  QRect Interior() const { return rect().adjusted(2, 2, -2, -2); }
  // The picture as it is composed for the window.
  QImage Compose() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  TProgressParts Parts_;
  bool ShowPercent_ = true;
  int RepaintRequests_ = 0;
};

}  // namespace hexloader
