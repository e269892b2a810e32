// Placeholder: this command lands with its area.
#include <cstdio>

#include "tools/cli/cli_command.h"

namespace hexloader::cli {
namespace {
int Run(const std::vector<std::string>&) {
  std::fprintf(stderr, "hexloader-cli: 'convert' is not available yet\n");
  return 1;
}
}  // namespace

const TCliCommand ConvertCommand{"convert", "(not available yet)", "hexloader-cli convert: not available yet\n", Run};

}  // namespace hexloader::cli
