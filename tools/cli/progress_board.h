#pragma once
// What a command-line upload run shows while it runs and when it ends. On a terminal: one line per
// port (port, bar, percent, frames, bytes per second, state), redrawn in place. Otherwise: plain lines,
// prefixed with the port when there are several, at the prompt, each quarter and the end of an upload;
// failures on standard error.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli/upload_job.h"

namespace hexloader::cli {

// One port's line on the terminal, without the terminal's control characters.
std::string FormatBoardLine(const TUploadJob& Job, std::size_t PortWidth, bool Repeat);
// The summary's line for one port: its result and time, or with Repeat its counts of good and failed
// uploads.
std::string FormatSummaryLine(const TUploadJob& Job, std::size_t PortWidth, bool Repeat);

class TProgressBoard {
 public:
  TProgressBoard(bool Terminal, bool Repeat, const std::vector<std::unique_ptr<TUploadJob>>& Jobs);

  // The job's plain notices (the terminal shows the same in the job's line).
  void Notice(const TUploadJob& Job, const std::string& Text, bool Failure);
  // Redraws the terminal's lines, at most a few times a second unless Force.
  void Redraw(bool Force);
  // Leaves the lines as they stand and prints the summary (several ports, or Repeat).
  void Finish();
  // A message that belongs to no port.
  void Say(const std::string& Text);

 private:
  std::size_t PortWidth() const;  // of the longest port name (the jobs are added after the board)

  const bool Terminal_;
  const bool Repeat_;
  const std::vector<std::unique_ptr<TUploadJob>>& Jobs_;
  int LinesDrawn_ = 0;
  std::chrono::steady_clock::time_point LastDraw_{};
};

}  // namespace hexloader::cli
