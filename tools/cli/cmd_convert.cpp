// hexloader-cli convert FILE.hex: the same conversion the Start command runs, from a shell.
#include <cstdio>

#include "core/exception.h"
#include "tools/cli/cli_command.h"
#include "tools/cli/cli_conversion.h"
#include "tools/cli/console_text.h"

namespace hexloader::cli {
namespace {

std::string Usage() {
  return "hexloader-cli convert [--strict] FILE.hex\n"
         "  Converts FILE.hex into the flat image file the upload sends, exactly as the Start command does:\n"
         "  the image is written into the current directory as the HEX file's name with the extension .BIN,\n"
         "  byte N holding device address N from address 0, unfilled addresses 0xFF. An existing image is kept\n"
         "  as NAME.BAK unless NAME.BAK exists already. Prints the image file's name; on failure prints the\n"
         "  message on standard error and exits with status 1 (a conversion error names the file and the\n"
         "  line: fw.hex:12: ...).\n"
         "  Records with wrong checksums are converted as they are, with one warning on standard error.\n"
         "  --strict           refuse such a file instead: status 1, nothing written\n";
}

int Run(const std::vector<std::string>& Args) {
  std::string hexFile;
  bool strict = false;
  for (const std::string& a : Args) {
    if (a == "--strict") {
      strict = true;
    } else if (!a.empty() && a[0] == '-') {
      PrintText(stderr, "hexloader-cli convert: unknown option '%s'\n\n%s", a.c_str(), Usage().c_str());
      return 1;
    } else if (hexFile.empty()) {
      hexFile = a;
    } else {
      PrintText(stderr, "%s", Usage().c_str());
      return 1;
    }
  }
  if (hexFile.empty()) {
    PrintText(stderr, "%s", Usage().c_str());
    return 1;
  }
  try {
    std::string imageName = ConvertHexFile(hexFile, hexFile, strict, stderr);
    PrintText(stdout, "%s\n", imageName.c_str());
    return 0;
  } catch (const Exception& e) {
    PrintText(stderr, "%s\n", e.what());
    return 1;
  }
}

}  // namespace

const TCliCommand ConvertCommand{"convert", "convert an Intel HEX file into the flat image file (NAME.BIN)", Usage,
                                 Run};

}  // namespace hexloader::cli
