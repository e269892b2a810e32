#include "tools/cli/open_file_limit.h"

#include <sys/resource.h>

namespace hexloader {

std::uint64_t RaiseOpenFileLimit() {
  rlimit Limit{};
  if (::getrlimit(RLIMIT_NOFILE, &Limit) != 0) return UINT64_MAX;
  if (Limit.rlim_cur != Limit.rlim_max) {
    rlimit Raised = Limit;
    Raised.rlim_cur = Limit.rlim_max;
    // Refused only in odd sandboxes: the soft limit then stays what it was.
    if (::setrlimit(RLIMIT_NOFILE, &Raised) == 0) Limit = Raised;
  }
  return Limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : static_cast<std::uint64_t>(Limit.rlim_cur);
}

}  // namespace hexloader
