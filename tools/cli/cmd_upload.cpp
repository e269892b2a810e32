// Placeholder: this command lands with its area.
#include <cstdio>

#include "tools/cli/cli_command.h"

namespace hexloader::cli {
namespace {
int Run(const std::vector<std::string>&) {
  std::fprintf(stderr, "hexloader-cli: 'upload' is not available yet\n");
  return 1;
}
}  // namespace

const TCliCommand UploadCommand{"upload", "(not available yet)", "hexloader-cli upload: not available yet\n", Run};

}  // namespace hexloader::cli
