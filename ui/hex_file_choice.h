#pragma once
// The window's rules for a chosen HEX file, apart from any toolkit so that every window shares them.
#include <string>

namespace hexloader {

// Raises Exception with a message naming the fault when Path cannot be kept in the settings (a line
// break in it); the choice is then refused before anything changes.
void CheckStorableHexFileName(const std::string& Path);

}  // namespace hexloader
