#include <unistd.h>

#include "tools/cli/console.h"

namespace hexloader::cli {

void PrepareConsole() {}  // terminals take UTF-8 as it is

std::vector<std::string> CommandLineArguments(int Argc, char** Argv) {
  return std::vector<std::string>(Argv, Argv + Argc);
}

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace hexloader::cli
