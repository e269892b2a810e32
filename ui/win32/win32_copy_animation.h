#pragma once
// Animate1 on Windows: the common-controls animation control playing the shell's copy-file clip (AVI
// resource 161 of shell32.dll), centred and transparent over the window colour, hidden until an
// upload. The clip is opened when the control is first shown; playing a clip that could not be opened
// raises "Cannot open AVI".
#include <windows.h>

namespace hexloader {

class TWin32Animate {
 public:
  // A hidden child of Parent at Bounds (Parent's client pixels), with a 1-pixel margin.
  TWin32Animate(HWND Parent, const RECT& Bounds);
  TWin32Animate(const TWin32Animate&) = delete;
  TWin32Animate& operator=(const TWin32Animate&) = delete;
  ~TWin32Animate();

  HWND Handle() const { return Window_; }
  void SetVisible(bool Visible);
  // True: plays the whole clip in a loop, without end. False: stops and shows the first frame.
  void SetActive(bool Active);
  bool Active() const { return Active_; }
  bool ClipOpen() const { return ClipOpen_; }

 private:
  void OpenClip();

  HWND Window_ = nullptr;
  HMODULE Shell_ = nullptr;  // shell32.dll, loaded as a resource library, held while the clip is open
  bool Tried_ = false;
  bool ClipOpen_ = false;
  bool Active_ = false;
};

}  // namespace hexloader
