#pragma once
// The copy clip: a sheet of paper flying from one folder to another, drawn frame by frame. Our own
// clip in place of a platform's copy-file animation.
#include <QSize>

class QPainter;

namespace hexloader {

struct TCopyClip {
  static constexpr int FrameCount = 16;
  static constexpr int FrameIntervalMs = 75;
  static QSize FrameSize() { return {200, 60}; }
  // Draws frame Frame (1-based) with its top-left corner at the painter's origin, transparent.
  static void DrawFrame(QPainter& P, int Frame);
};

}  // namespace hexloader
