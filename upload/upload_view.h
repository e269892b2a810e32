#pragma once
// What the upload session shows: the window implements this with its indicators, commands, prompt and
// message dialog; the command-line tool implements it for the terminal. Every call comes on the
// user-interface thread, from inside Start or OnRxChar. An exception raised here ends that call of the
// session where it stands (the window's animation may raise "Cannot open AVI").
#include <cstdint>
#include <string>

namespace hexloader {

class TUploadView {
 public:
  virtual ~TUploadView() = default;

  // ProgressBar1: TotalParts, PartsComplete (see TProgressParts for the arithmetic) and visibility.
  virtual void SetProgressTotalParts(std::uint32_t TotalParts) = 0;
  virtual void SetProgressPartsComplete(std::uint32_t PartsComplete) = 0;
  virtual void SetProgressVisible(bool Visible) = 0;

  // Animate1: visibility and Active (playing).
  virtual void SetAnimationVisible(bool Visible) = 0;
  virtual void SetAnimationActive(bool Active) = 0;

  // ABegin, ASelectFile and the Port drop-down button ToolButton2, always switched together.
  virtual void SetUploadCommandsEnabled(bool Enabled) = 0;

  // Form2, the power-on prompt "Включи питание", shown not modal.
  virtual void ShowPowerOnPrompt() = 0;
  virtual void HidePowerOnPrompt() = 0;

  // The plain message dialog (modal in the window; returns when the operator has closed it).
  virtual void ShowMessage(const std::string& Text) = 0;
};

}  // namespace hexloader
