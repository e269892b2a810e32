#include "upload/progress_line.h"

#include <algorithm>
#include <cstdio>

#include "upload/progress_parts.h"

namespace hexloader {
namespace {

std::string Rate(double BytesPerSecond) {
  char Text[32];
  if (BytesPerSecond >= 1024.0) std::snprintf(Text, sizeof Text, "%.1f KB/s", BytesPerSecond / 1024.0);
  else std::snprintf(Text, sizeof Text, "%.0f B/s", BytesPerSecond);
  return Text;
}

std::string Clock(double Seconds) {
  const long Whole = static_cast<long>(Seconds + 0.5);
  char Text[32];
  std::snprintf(Text, sizeof Text, "%ld:%02ld", Whole / 60, Whole % 60);
  return Text;
}

}  // namespace

std::string FormatProgressBar(const TProgressSnapshot& S, int Width) {
  const int Filled = TProgressParts::FilledWidth(S.Percent, Width);
  // Built by appending: GCC 12 warns falsely (-Wrestrict) about a literal followed by a temporary.
  std::string Bar = "[";
  Bar.append(static_cast<std::size_t>(Filled), '#');
  Bar.append(static_cast<std::size_t>(Width - Filled), '.');
  Bar += ']';
  char Text[96];
  std::snprintf(Text, sizeof Text, " %3u%%  frame %d/%d", S.Percent, S.FramesSent, S.FramesTotal);
  Bar += Text;
  if (S.ElapsedSeconds > 0 && S.BytesAcknowledged > 0) {
    const double PerSecond = static_cast<double>(S.BytesAcknowledged) / S.ElapsedSeconds;
    const double Left = static_cast<double>(S.BytesTotal - std::min(S.BytesSent, S.BytesTotal)) / PerSecond;
    Bar += "  " + Rate(PerSecond) + "  " + Clock(Left) + " left";
  }
  return Bar;
}

std::string FormatProgressLine(const TProgressSnapshot& S) {
  char Text[128];
  std::snprintf(Text, sizeof Text, "%u%% (frame %d of %d, %llu of %llu bytes)", S.Percent, S.FramesSent, S.FramesTotal,
                static_cast<unsigned long long>(S.BytesSent), static_cast<unsigned long long>(S.BytesTotal));
  return Text;
}

}  // namespace hexloader
