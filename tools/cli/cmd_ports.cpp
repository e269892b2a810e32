// hexloader-cli ports: the serial ports present, in the order the GUI's Port menu shows them.
#include <cstdio>

#include "serial/enum_com_ports.h"
#include "serial/port_access.h"
#include "tools/cli/cli_command.h"
#include "tools/cli/console_text.h"

namespace hexloader::cli {
namespace {

int Run(const std::vector<std::string>& Args) {
  if (!Args.empty()) {
    PrintText(stderr, "hexloader-cli ports: unexpected argument '%s'\n", Args.front().c_str());
    return 1;
  }
  std::vector<std::string> names = EnumComPorts();
  SortPortNames(names);
  for (const std::string& name : names) {
    PrintText(stdout, "%s\n", name.c_str());
    // The list on standard output stays one name a line for scripts; the advice goes beside it.
    const std::string advice = PortAccessAdvice(name);
    if (advice.empty()) continue;
    PrintText(stderr, "%s: %s\n", name.c_str(), advice.c_str());
  }
  return 0;
}

}  // namespace

const TCliCommand PortsCommand{
    "ports", "list the serial ports present, as the Port menu shows them",
    "hexloader-cli ports\n"
    "  Prints the serial ports present on this machine, one per line, in the order of the GUI's Port\n"
    "  menu. Each name is what --port takes (on Linux it is opened under /dev; on Windows it is a COM\n"
    "  name). Prints nothing when the machine has no serial port. For a port the system keeps you out\n"
    "  of, standard error says which group owns it and what to do.\n",
    Run};

}  // namespace hexloader::cli
