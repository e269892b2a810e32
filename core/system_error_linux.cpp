#include "core/system_error.h"

#include <cstring>

namespace hexloader {

std::string SysErrorMessage(int Code) {
  char buf[256];
  // GNU strerror_r may return a static string instead of filling buf.
  const char* text = strerror_r(Code, buf, sizeof buf);
  return text ? std::string(text) : std::string();
}

std::string CLibraryErrorMessage(int Errno) { return SysErrorMessage(Errno); }

}  // namespace hexloader
