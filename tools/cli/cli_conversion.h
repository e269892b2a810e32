#pragma once
// The command line's conversion: the converter of the Start command, with what a shell user needs
// around it (the file the user named in the error when it is missing, the checksum check).
#include <cstdio>
#include <string>

namespace hexloader::cli {

// Checks the records' checksums of the HEX file at HexPath, then converts it with HexToBin and returns
// the image's name. Wrong checksums print one warning on Warnings once the image is written, or with
// Strict raise EChecksumError before anything is written. A missing HEX file raises EFOpenError naming HexPath
// (the converter alone would leave the caller with no name). A conversion error (EConvertError) is raised
// as a plain Exception that names ShownName and the line, as compilers do:
// "fw.hex:12: '$ZZ' is not a valid integer value.". Raises what HexToBin raises otherwise.
std::string ConvertHexFile(const std::string& HexPath, const std::string& ShownName, bool Strict, std::FILE* Warnings);

}  // namespace hexloader::cli
