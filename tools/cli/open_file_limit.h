#pragma once

#include <cstdint>

namespace hexloader {

// Raises this process's soft limit on open files to its hard limit and returns the limit then in force
// (a very large number where the platform sets no such limit).
std::uint64_t RaiseOpenFileLimit();

}  // namespace hexloader
