#include <unistd.h>

#include <climits>

#include "ui/settings/executable_path.h"

namespace hexloader {

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return {};
  return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace hexloader
