#pragma once
// The session's view as plain state, so tests can look at what the window would show.
#include <string>
#include <vector>

#include "upload/progress_parts.h"
#include "upload/upload_view.h"

namespace hexloader::test {

class TRecordingView : public TUploadView {
 public:
  void SetProgressTotalParts(std::uint32_t Total) override { Progress.SetTotalParts(Total); }
  void SetProgressPartsComplete(std::uint32_t Parts) override { Progress.SetPartsComplete(Parts); }
  void SetProgressVisible(bool Visible) override { ProgressVisible = Visible; }
  void SetAnimationVisible(bool Visible) override { AnimationVisible = Visible; }
  void SetAnimationActive(bool Active) override { AnimationActive = Active; }
  void SetUploadCommandsEnabled(bool Enabled) override { CommandsEnabled = Enabled; }
  void ShowPowerOnPrompt() override { PromptVisible = true; }
  void HidePowerOnPrompt() override { PromptVisible = false; }
  void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }

  TProgressParts Progress;
  bool ProgressVisible = false;
  bool AnimationVisible = false;
  bool AnimationActive = false;
  bool CommandsEnabled = true;
  bool PromptVisible = false;
  std::vector<std::string> Messages;
};

}  // namespace hexloader::test
