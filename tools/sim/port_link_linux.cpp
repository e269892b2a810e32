#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tools/sim/port_link.h"

namespace hexloader::sim {
namespace {

std::string LinkTarget(const std::string& Path) {
  char Buf[4096];
  const ssize_t N = ::readlink(Path.c_str(), Buf, sizeof Buf);
  return N < 0 ? std::string() : std::string(Buf, static_cast<std::size_t>(N));
}

}  // namespace

TPortLink::TPortLink(const std::string& LinkPath, const std::string& Target) {
  struct stat St;
  if (::lstat(LinkPath.c_str(), &St) == 0) {
    // A mistyped path could name the firmware itself: only a link (a stale one of ours) is replaced.
    if (!S_ISLNK(St.st_mode))
      throw std::runtime_error("cannot make the link " + LinkPath + ": it exists and is not a symbolic link");
    ::unlink(LinkPath.c_str());
  }
  if (::symlink(Target.c_str(), LinkPath.c_str()) != 0) {
    const int Error = errno;
    throw std::runtime_error("cannot make the link " + LinkPath + ": " + std::strerror(Error));
  }
  LinkPath_ = LinkPath;
  Target_ = Target;
}

TPortLink::~TPortLink() {
  if (!LinkPath_.empty() && LinkTarget(LinkPath_) == Target_) ::unlink(LinkPath_.c_str());
}

}  // namespace hexloader::sim
