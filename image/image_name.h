#pragma once
// The names of the image file and of its backup, formed from the HEX file's path. Pure.
#include <string>

namespace hexloader {

// The HEX file's name (the text after the last of the platform's PathSeparators in HexPath) with the part from its last
// "." replaced by
// ".BIN", or ".BIN" appended when it has no ".". Relative to the current directory: /work/fw.hex gives fw.BIN.
std::string ImageFileName(const std::string& HexPath);

// The image file's name with its extension replaced by ".BAK": fw.BIN gives fw.BAK.
std::string BackupFileName(const std::string& ImageName);

}  // namespace hexloader
