#include "tools/cli/progress_board.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "tools/cli/console_text.h"
#include "upload/progress_parts.h"
#include "upload/upload_errors.h"

namespace hexloader::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr int kBarWidth = 20;

std::string Padded(const std::string& Text, std::size_t Width) {
  return Text.size() >= Width ? Text : Text + std::string(Width - Text.size(), ' ');
}

std::string Counts(const TUploadJob& Job) {
  return std::to_string(Job.Good()) + " good, " + std::to_string(Job.Failed()) + " failed";
}

std::string StateText(const TUploadJob& Job) {
  switch (Job.State()) {
    case TJobState::AwaitHello: return PowerOnPromptText;
    case TJobState::Transfer: return "uploading";
    case TJobState::Settling: return std::string(ResultName(Job.LastResult())) + ": " + Job.LastMessage();
    case TJobState::Stopped:
      if (!Job.HasResult()) return "stopped";
      if (Job.LastResult() == TUploadResult::Ok) return "done";
      return std::string(ResultName(Job.LastResult())) + ": " + Job.LastMessage();
  }
  return "";
}

}  // namespace

std::string FormatBoardLine(const TUploadJob& Job, std::size_t PortWidth, bool Repeat) {
  const TProgressSnapshot S = Job.Progress();
  const int Filled = TProgressParts::FilledWidth(S.Percent, kBarWidth);
  std::string Line = Padded(Job.Port(), PortWidth) + "  [" + std::string(static_cast<std::size_t>(Filled), '#') +
                     std::string(static_cast<std::size_t>(kBarWidth - Filled), '.') + "]";
  char Text[96];
  std::snprintf(Text, sizeof Text, " %3u%%  frame %d/%d", S.Percent, S.FramesSent, S.FramesTotal);
  Line += Text;
  if (S.ElapsedSeconds > 0 && S.BytesAcknowledged > 0) {
    std::snprintf(Text, sizeof Text, "  %.0f B/s", static_cast<double>(S.BytesAcknowledged) / S.ElapsedSeconds);
    Line += Text;
  }
  Line += "  " + StateText(Job);
  if (Repeat) Line += "  (" + Counts(Job) + ")";
  return Line;
}

std::string FormatSummaryLine(const TUploadJob& Job, std::size_t PortWidth, bool Repeat) {
  std::string Line = "  " + Padded(Job.Port(), PortWidth) + "  ";
  if (Repeat) return Line + Counts(Job);
  if (!Job.HasResult()) return Line + "stopped before a device answered";
  char Seconds[32];
  std::snprintf(Seconds, sizeof Seconds, "%8.2f s", Job.LastSeconds());
  Line += Padded(ResultName(Job.LastResult()), 11) + Seconds;
  if (Job.LastResult() != TUploadResult::Ok) Line += "  " + Job.LastMessage();
  return Line;
}

TProgressBoard::TProgressBoard(bool Terminal, bool Repeat, const std::vector<std::unique_ptr<TUploadJob>>& Jobs)
    : Terminal_(Terminal), Repeat_(Repeat), Jobs_(Jobs) {}

std::size_t TProgressBoard::PortWidth() const {
  std::size_t Width = 0;
  for (const auto& Job : Jobs_) Width = std::max(Width, Job->Port().size());
  return Width;
}

void TProgressBoard::Notice(const TUploadJob& Job, const std::string& Text, bool Failure) {
  if (Terminal_) {
    Redraw(false);
    return;
  }
  const std::string Prefix = Jobs_.size() > 1 ? Job.Port() + ": " : "";
  if (Failure) {
    PrintText(stderr, "hexloader-cli: %s%s\n", Prefix.c_str(), Text.c_str());
  } else {
    PrintText(stdout, "%s%s\n", Prefix.c_str(), Text.c_str());
  }
}

void TProgressBoard::Redraw(bool Force) {
  if (!Terminal_) return;
  const auto Now = std::chrono::steady_clock::now();
  if (!Force && Now - LastDraw_ < kRedrawInterval) return;
  LastDraw_ = Now;
  std::string Text;
  // Back to the first line of the board, then every line anew.
  if (LinesDrawn_ > 0) {
    Text += "\033[";
    Text += std::to_string(LinesDrawn_);
    Text += 'A';
  }
  for (const auto& Job : Jobs_) {
    Text += '\r';
    Text += FormatBoardLine(*Job, PortWidth(), Repeat_);
    Text += "\033[K\n";
  }
  LinesDrawn_ = static_cast<int>(Jobs_.size());
  WriteText(stdout, Text);
}

void TProgressBoard::Say(const std::string& Text) {
  PrintText(stderr, "hexloader-cli: %s\n", Text.c_str());
  // The board goes on below the message.
  LinesDrawn_ = 0;
}

void TProgressBoard::Finish() {
  Redraw(true);
  if (Jobs_.size() < 2 && !Repeat_) return;
  std::string Text = "Summary:\n";
  for (const auto& Job : Jobs_) Text += FormatSummaryLine(*Job, PortWidth(), Repeat_) + "\n";
  // Standard output gone (its reader ended): the summary still reaches the operator, on standard error.
  if (std::ferror(stdout) || !WriteText(stdout, Text)) WriteText(stderr, Text);
}

}  // namespace hexloader::cli
