#pragma once
// One subcommand of hexloader-cli. Each lives in a file of its own (cmd_<name>.cpp) and is listed in main.cpp.
#include <string>
#include <vector>

namespace hexloader::cli {

struct TCliCommand {
  const char* Name;        // as typed after the program name
  const char* Summary;     // one line for the command list
  std::string (*Usage)();  // the full help of the command, several lines (some of them the platform's)
  // Runs the command with the arguments after its name; returns the process exit status.
  int (*Run)(const std::vector<std::string>& Args);
};

extern const TCliCommand ConvertCommand;
extern const TCliCommand UploadCommand;
extern const TCliCommand PortsCommand;
extern const TCliCommand RecordsCommand;

}  // namespace hexloader::cli
