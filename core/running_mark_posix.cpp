#include "core/running_mark.h"

namespace hexloader {

TRunningMark::TRunningMark() = default;
TRunningMark::~TRunningMark() = default;

}  // namespace hexloader
