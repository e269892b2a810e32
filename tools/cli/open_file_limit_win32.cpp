#include "tools/cli/open_file_limit.h"

namespace hexloader {

// Handles of kernel objects have no per-process limit worth checking for here.
std::uint64_t RaiseOpenFileLimit() { return UINT64_MAX; }

}  // namespace hexloader
