// hexloader-cli convert FILE.hex: the same conversion the Start command runs, from a shell.
#include <cerrno>
#include <cstdio>

#include "core/exception.h"
#include "image/file_errors.h"
#include "image/hex_to_bin.h"
#include "tools/cli/cli_command.h"

namespace hexloader::cli {
namespace {

int Run(const std::vector<std::string>& Args) {
  if (Args.size() != 1) {
    std::fprintf(stderr, "%s", ConvertCommand.Usage);
    return 1;
  }
  try {
    std::string imageName = HexToBin(Args[0]);
    // The converter returns no name when there is no file to read; the program then fails to open the
    // image, and here the operator is told the same in the converter's own words.
    if (imageName.empty()) throw EFOpenError::ForFile(Args[0], ENOENT);
    std::printf("%s\n", imageName.c_str());
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

}  // namespace

const TCliCommand ConvertCommand{
    "convert", "convert an Intel HEX file into the flat image file (NAME.BIN)",
    "hexloader-cli convert FILE.hex\n"
    "  Converts FILE.hex into the flat image file the upload sends, exactly as the Start command does:\n"
    "  the image is written into the current directory as the HEX file's name with the extension .BIN,\n"
    "  byte N holding device address N from address 0, unfilled addresses 0xFF. An existing image is kept\n"
    "  as NAME.BAK unless NAME.BAK exists already. Prints the image file's name; on failure prints the\n"
    "  message on standard error and exits with status 1.\n",
    Run};

}  // namespace hexloader::cli
