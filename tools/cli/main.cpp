// hexloader-cli: the loader's work from scripts and production lines.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_size_signal.h"
#include "core/running_mark.h"
#include "hexloader_version.h"
#include "tools/cli/cli_command.h"
#include "tools/cli/console.h"
#include "tools/cli/console_text.h"
#include "tools/cli/platform_texts.h"

namespace {

using hexloader::cli::PrintText;
using hexloader::cli::TCliCommand;

const TCliCommand* const kCommands[] = {
    &hexloader::cli::ConvertCommand,
    &hexloader::cli::UploadCommand,
    &hexloader::cli::PortsCommand,
    &hexloader::cli::RecordsCommand,
};

// A command's help as the general help shows it: indented under a heading of its own, with a blank
// line before each run of option lines so that they stand apart from the prose (the manual page is
// made from this text).
void PrintCommandHelp(FILE* out, const TCliCommand& c) {
  PrintText(out, "The %s command:\n", c.Name);
  bool inOptions = false;
  const std::string usage = c.Usage();
  for (const char* line = usage.c_str(); *line;) {
    const char* end = std::strchr(line, '\n');
    const std::size_t length = end ? static_cast<std::size_t>(end - line) : std::strlen(line);
    const std::string text(line, length);
    const std::size_t first = text.find_first_not_of(' ');
    // Options stand two spaces in; a deeper "-" continues something else (an example's command line).
    const bool optionLine = first == 2 && text[first] == '-';
    const bool continuation = first != std::string::npos && first > 4;
    if (optionLine && !inOptions) PrintText(out, "\n");
    inOptions = optionLine || (inOptions && continuation);
    PrintText(out, "%s%s\n", text.empty() ? "" : "  ", text.c_str());
    line = end ? end + 1 : line + length;
  }
  PrintText(out, "\n");
}

void PrintHelp(FILE* out) {
  PrintText(out,
            "Usage: hexloader-cli COMMAND [OPTIONS] [ARGS]\n"
            "  or:  hexloader-cli help COMMAND\n"
            "  or:  hexloader-cli --version\n"
            "Converts Intel HEX firmware into the loader's flat image and uploads it to the device over a\n"
            "serial line, as the hexloader window does.\n\n"
            "Commands:\n");
  for (const TCliCommand* c : kCommands) PrintText(out, "  %-10s %s\n", c->Name, c->Summary);
  PrintText(out, "\n");
  for (const TCliCommand* c : kCommands) PrintCommandHelp(out, *c);
  PrintText(out,
            "Options:\n"
            "%s"
            "  --version      show the program's version and exit\n",
            hexloader::cli::platform_texts::HelpOption);
}

// --help, -h and the platform's own help switches ("/?" on Windows).
bool IsHelpOption(const std::string& Argument) {
  if (Argument == "--help" || Argument == "-h") return true;
  for (const char* const* s = hexloader::cli::platform_texts::ExtraHelpSwitches; *s; ++s)
    if (Argument == *s) return true;
  return false;
}

const TCliCommand* Find(const char* name) {
  for (const TCliCommand* c : kCommands)
    if (std::strcmp(c->Name, name) == 0) return c;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  hexloader::IgnoreFileSizeSignal();
  // Held until the process ends: the setup does not replace a program that runs (a production run).
  const hexloader::TRunningMark running;
  hexloader::cli::PrepareConsole();
  const std::vector<std::string> all = hexloader::cli::CommandLineArguments(argc, argv);
  if (all.size() < 2) {
    PrintHelp(stderr);
    return 1;
  }
  const char* first = all[1].c_str();
  if (IsHelpOption(first) || !std::strcmp(first, "help")) {
    if (all.size() > 2) {
      if (const TCliCommand* c = Find(all[2].c_str())) {
        PrintText(stdout, "%s", c->Usage().c_str());
        return 0;
      }
    }
    PrintHelp(stdout);
    return 0;
  }
  if (!std::strcmp(first, "--version")) {
    PrintText(stdout, "hexloader-cli %s\n", HEXLOADER_VERSION);
    return 0;
  }
  const TCliCommand* command = Find(first);
  if (!command) {
    PrintText(stderr, "hexloader-cli: unknown command '%s'\n\n", first);
    PrintHelp(stderr);
    return 1;
  }
  std::vector<std::string> args(all.begin() + 2, all.end());
  for (const std::string& a : args) {
    if (IsHelpOption(a)) {
      PrintText(stdout, "%s", command->Usage().c_str());
      return 0;
    }
  }
  return command->Run(args);
}
