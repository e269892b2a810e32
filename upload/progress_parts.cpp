#include "upload/progress_parts.h"

#include <algorithm>
#include <cmath>

namespace hexloader {

void TProgressParts::SetTotalParts(std::uint32_t Value) {
  Value = std::min(Value, MaxParts);
  if (Value == TotalParts_) return;
  TotalParts_ = Value;
  if (Building_) return;
  PartsComplete_ = 0;
  SetPercent(0);
}

void TProgressParts::SetPartsComplete(std::uint32_t Value) {
  if (Value == PartsComplete_) return;
  PartsComplete_ = std::min(Value, TotalParts_);
  if (Building_ || TotalParts_ == 0) return;
  SetPercent(PercentOf(PartsComplete_, TotalParts_));
}

void TProgressParts::SetPercent(std::uint16_t Value) {
  if (Value == Percent_) return;
  Percent_ = Value;
  if (OnChange_) OnChange_(Percent_);
}

std::uint16_t TProgressParts::PercentOf(std::uint32_t Parts, std::uint32_t Total) {
  // nearbyint rounds half to even in the default rounding mode.
  const double Ratio = static_cast<double>(Parts) / static_cast<double>(Total);
  return static_cast<std::uint16_t>(std::nearbyint(Ratio * 100.0));
}

int TProgressParts::FilledWidth(std::uint16_t Percent, int Width) {
  if (Percent >= 100) return Width;
  const long long Product = static_cast<long long>(Percent) * Width;
  long long Quotient = Product / 100;
  const long long Rest = Product % 100;
  if (Rest > 50 || (Rest == 50 && Quotient % 2 != 0)) ++Quotient;
  return static_cast<int>(Quotient);
}

}  // namespace hexloader
