#pragma once
// The window's sizes are given in pixels of a 96-dpi screen. The program declares itself aware of the
// system's DPI, so Windows does not stretch it: every size, font and image is scaled here instead, and
// the window keeps its proportions, sharp, on a 150 % screen.
namespace hexloader {

class TScale {
 public:
  // The screen's DPI as the system gives it to this process.
  static TScale OfScreen();
  explicit TScale(int Dpi) : Dpi_(Dpi) {}

  int Dpi() const { return Dpi_; }
  // Pixels of a 96-dpi screen, as pixels of this one (rounded to the nearest).
  int Px(int Pixels96) const;

 private:
  int Dpi_;
};

}  // namespace hexloader
