#include "image/image_name.h"

#include "core/path_separators.h"

namespace hexloader {
namespace {

std::string WithExtension(const std::string& Name, const char* Extension) {
  std::string::size_type dot = Name.rfind('.');
  return (dot == std::string::npos ? Name : Name.substr(0, dot)) + Extension;
}

}  // namespace

std::string ImageFileName(const std::string& HexPath) {
  std::string::size_type slash = HexPath.find_last_of(PathSeparators());
  std::string name = slash == std::string::npos ? HexPath : HexPath.substr(slash + 1);
  return WithExtension(name, ".BIN");
}

std::string BackupFileName(const std::string& ImageName) { return WithExtension(ImageName, ".BAK"); }

}  // namespace hexloader
