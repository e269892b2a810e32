#include "core/path_separators.h"

namespace hexloader {

std::string_view PathSeparators() { return "\\/:"; }

}  // namespace hexloader
