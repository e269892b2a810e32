#pragma once
// ProgressBar1 on Windows: a control of our own that draws the bar and its percentage in inverse
// colours, composed off-screen and copied in one step, and repaints only when the integer percentage
// changes (TProgressParts). It answers PBM_GETPOS with the percentage and PBM_GETRANGE with 0..100, as
// the system's progress bar would, so that a test can read it from outside.
#include <windows.h>

#include <cstdint>

#include "ui/win32/win32_window_class.h"
#include "upload/progress_parts.h"

namespace hexloader {

class TWin32ProgressBar final : private TWindowProcedureTarget {
 public:
  // A hidden child of Parent.
  explicit TWin32ProgressBar(HWND Parent);
  TWin32ProgressBar(const TWin32ProgressBar&) = delete;
  TWin32ProgressBar& operator=(const TWin32ProgressBar&) = delete;

  HWND Handle() const { return Window_; }
  void SetTotalParts(std::uint32_t Value) { Parts_.SetTotalParts(Value); }
  void SetPartsComplete(std::uint32_t Value) { Parts_.SetPartsComplete(Value); }
  const TProgressParts& Parts() const { return Parts_; }
  // How many times a new percentage asked for a repaint.
  int RepaintRequests() const { return RepaintRequests_; }

 private:
  LRESULT HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) override;
  void OnPaint();
  void Compose(HDC Target, const RECT& Bounds) const;

  HWND Window_ = nullptr;
  HFONT Font_ = nullptr;  // the window's font, owned by the main window
  TProgressParts Parts_;
  int RepaintRequests_ = 0;
};

}  // namespace hexloader
