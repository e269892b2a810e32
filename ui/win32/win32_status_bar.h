#pragma once
// StatusBar1 on Windows: the system's status bar with two parts, the port pane PortStatusPane at the
// left (as wide as the port's name needs, 47 pixels at least, half the bar at most; a longer name is
// cut in its middle and its tooltip shows it whole) and ProgressBar1 over the rest, hidden until an
// upload.
#include <windows.h>

#include <memory>
#include <string>

#include "ui/win32/win32_progress_bar.h"
#include "ui/win32/win32_scale.h"

namespace hexloader {

class TWin32StatusBar {
 public:
  // A child of Parent at Bounds (in Parent's client pixels).
  TWin32StatusBar(HWND Parent, const RECT& Bounds, const TScale& Scale);

  HWND Handle() const { return Window_; }
  TWin32ProgressBar& ProgressBar1() { return *ProgressBar1_; }
  // The pane's caption (UTF-8), whole; the pane shows it cut when it is wider than half the bar. The
  // same caption again does nothing.
  void SetPortPaneCaption(const std::string& Name);
  const std::string& PortPaneCaption() const { return Caption_; }
  // Lays the pane and the bar out again, as wide as the caption needs in the bar's current font.
  void LayOut();

 private:
  HWND Window_ = nullptr;
  TScale Scale_;
  std::string Caption_;
  std::unique_ptr<TWin32ProgressBar> ProgressBar1_;
};

}  // namespace hexloader
