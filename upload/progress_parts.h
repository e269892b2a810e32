#pragma once
// The progress bar's state and arithmetic, without any drawing: the window's bar and the command-line
// bar both keep one of these and repaint when it reports a new percentage.
#include <cstdint>
#include <functional>

namespace hexloader {

class TProgressParts {
 public:
  // Largest value of TotalParts and PartsComplete (a TUnsignedLongint).
  static constexpr std::uint32_t MaxParts = 2147483647u;

  // Called with the new percentage, only when the integer percentage changes.
  using TOnChange = std::function<void(std::uint16_t Percent)>;

  std::uint32_t TotalParts() const { return TotalParts_; }
  std::uint32_t PartsComplete() const { return PartsComplete_; }
  std::uint16_t Percent() const { return Percent_; }

  // Same value: nothing. Otherwise stores it (capped at MaxParts) and, unless Building, returns the bar
  // to 0 parts and 0%.
  void SetTotalParts(std::uint32_t Value);
  // Same value (compared before clamping): nothing. Otherwise stores min(Value, TotalParts) and, unless
  // Building or TotalParts is 0, sets Percent to PartsComplete / TotalParts * 100 rounded half to even.
  void SetPartsComplete(std::uint32_t Value);
  // Stores the percentage and fires OnChange when it differs from the current one.
  void SetPercent(std::uint16_t Value);

  // While the window is still being built from its stored description, setters only store.
  void SetBuilding(bool Building) { Building_ = Building; }
  bool Building() const { return Building_; }

  void SetOnChange(TOnChange OnChange) { OnChange_ = std::move(OnChange); }

  // The percentage for Parts of Total (Total > 0): Parts * 100 / Total rounded to the nearest integer,
  // exact halves going to the even neighbour (computed exactly, in integers).
  static std::uint16_t PercentOf(std::uint32_t Parts, std::uint32_t Total);

  // Width of the filled part of an interior Width pixels wide: Percent * Width / 100, rounded half to
  // even; a Percent of 100 or more fills the whole interior.
  static int FilledWidth(std::uint16_t Percent, int Width);

 private:
  std::uint32_t TotalParts_ = 0;
  std::uint32_t PartsComplete_ = 0;
  std::uint16_t Percent_ = 0;
  bool Building_ = false;
  TOnChange OnChange_;
};

}  // namespace hexloader
