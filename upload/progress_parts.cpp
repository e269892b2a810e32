#include "upload/progress_parts.h"

#include <algorithm>

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
  // In integers: in double, true halves such as 23/40 come out a hair below or above .5 and round the
  // wrong way.
  const std::uint64_t Scaled = static_cast<std::uint64_t>(Parts) * 100;
  std::uint64_t Quotient = Scaled / Total;
  const std::uint64_t Twice = (Scaled % Total) * 2;
  if (Twice > Total || (Twice == Total && Quotient % 2 != 0)) ++Quotient;
  return static_cast<std::uint16_t>(Quotient);
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
