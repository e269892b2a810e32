#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "ui/settings/folder_access.h"

namespace hexloader {

std::string CurrentFolder() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool ChangeCurrentFolder(const std::string& Folder) { return ::chdir(Folder.c_str()) == 0; }

bool CanMakeFileIn(const std::string& Folder) {
  const std::string name = Folder + "/.hexloader-" + std::to_string(::getpid()) + ".tmp";
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return errno == EEXIST;
  ::close(fd);
  ::unlink(name.c_str());
  return true;
}

}  // namespace hexloader
