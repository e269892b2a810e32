// hexloader-cli ports: the serial ports present, in the order the GUI's Port menu shows them.
#include <cstdio>

#include "serial/enum_com_ports.h"
#include "serial/port_access.h"
#include "tools/cli/cli_command.h"
#include "tools/cli/console_text.h"
#include "tools/cli/platform_texts.h"

namespace hexloader::cli {
namespace {

std::string Usage() { return std::string("hexloader-cli ports\n") + platform_texts::PortsDescription; }

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

const TCliCommand PortsCommand{"ports", "list the serial ports present, as the Port menu shows them", Usage, Run};

}  // namespace hexloader::cli
