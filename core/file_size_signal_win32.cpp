// Windows has no file-size signal: a write past a limit fails with an error code, which the usual
// write error reports.
#include "core/file_size_signal.h"

namespace hexloader {

void IgnoreFileSizeSignal() {}

}  // namespace hexloader
