#pragma once
#include <string_view>

namespace hexloader {

// The characters that end a folder or drive part of a path on this platform: "/" on Linux; "\", "/"
// and ":" on Windows (path_separators_<platform>.cpp).
std::string_view PathSeparators();

}  // namespace hexloader
