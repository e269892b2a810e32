#include "core/file_stream.h"

#include <cerrno>

namespace hexloader {

std::FILE* OpenStream(const std::string& Name, int& Error) {
  std::FILE* File = std::fopen(Name.c_str(), "rb");
  if (!File) Error = errno;
  return File;
}

}  // namespace hexloader
