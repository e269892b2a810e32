// hexloader-cli: the loader's work from scripts and production lines.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/cli/cli_command.h"
#include "tools/cli/console.h"

namespace {

using hexloader::cli::TCliCommand;

const TCliCommand* const kCommands[] = {
    &hexloader::cli::ConvertCommand,
    &hexloader::cli::UploadCommand,
    &hexloader::cli::PortsCommand,
};

void PrintHelp(FILE* out) {
  std::fprintf(out,
               "Usage: hexloader-cli COMMAND [OPTIONS] [ARGS]\n"
               "       hexloader-cli help COMMAND\n\n"
               "Commands:\n");
  for (const TCliCommand* c : kCommands) std::fprintf(out, "  %-10s %s\n", c->Name, c->Summary);
  std::fprintf(out, "\n");
  for (const TCliCommand* c : kCommands) std::fprintf(out, "%s\n", c->Usage);
}

const TCliCommand* Find(const char* name) {
  for (const TCliCommand* c : kCommands)
    if (std::strcmp(c->Name, name) == 0) return c;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  hexloader::cli::PrepareConsole();
  const std::vector<std::string> all = hexloader::cli::CommandLineArguments(argc, argv);
  if (all.size() < 2) {
    PrintHelp(stderr);
    return 1;
  }
  const char* first = all[1].c_str();
  if (!std::strcmp(first, "--help") || !std::strcmp(first, "-h") || !std::strcmp(first, "help")) {
    if (all.size() > 2) {
      if (const TCliCommand* c = Find(all[2].c_str())) {
        std::printf("%s", c->Usage);
        return 0;
      }
    }
    PrintHelp(stdout);
    return 0;
  }
  const TCliCommand* command = Find(first);
  if (!command) {
    std::fprintf(stderr, "hexloader-cli: unknown command '%s'\n\n", first);
    PrintHelp(stderr);
    return 1;
  }
  std::vector<std::string> args(all.begin() + 2, all.end());
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::printf("%s", command->Usage);
      return 0;
    }
  }
  return command->Run(args);
}
