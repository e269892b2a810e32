#pragma once
#include <string>

namespace hexloader {

// The full path of the running executable; empty when the platform cannot tell.
std::string ExecutablePath();

}  // namespace hexloader
