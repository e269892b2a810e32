#include "tools/cli/platform_texts.h"

namespace hexloader::cli::platform_texts {

const char* const PortOption =
    "  --port DEVICE      a port to upload through (a path, or a name under /dev); repeat it for each\n"
    "                     device on the line\n";

const char* const RepeatOption =
    "  --repeat           board after board: after each upload, well or not, the port waits for the\n"
    "                     next device's hello and uploads again, until SIGINT or SIGTERM (Ctrl-C). The\n"
    "                     first stop request lets uploads in progress finish, a second abandons them.\n"
    "                     The image is not converted again: a changed HEX file is not reread.\n";

const char* const ProductionExample =
    "    hexloader-cli upload --port ttyUSB0 --port ttyUSB1 --port ttyUSB2 --repeat \\\n"
    "                         --log uploads.jsonl firmware.hex\n";

const char* const PortsDescription =
    "  Prints the serial ports present on this machine, one per line, in the order of the GUI's Port\n"
    "  menu. Each name is what --port takes (opened under /dev). Prints nothing when the machine has\n"
    "  no serial port. For a port the system keeps you out of, standard error says which group owns it\n"
    "  and what to do.\n";

const char* const HelpOption = "  -h, --help     show this help, or with a command the command's help, and exit\n";

const char* const ExtraHelpSwitches[] = {nullptr};

}  // namespace hexloader::cli::platform_texts
