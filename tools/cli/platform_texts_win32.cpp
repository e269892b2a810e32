#include "tools/cli/platform_texts.h"

namespace hexloader::cli::platform_texts {

const char* const PortOption =
    "  --port DEVICE      a port to upload through (a COM name, such as COM3); repeat it for each\n"
    "                     device on the line\n";

const char* const RepeatOption =
    "  --repeat           board after board: after each upload, well or not, the port waits for the\n"
    "                     next device's hello and uploads again, until Ctrl+C or Ctrl+Break (or the\n"
    "                     console window is closed). The first stop request lets uploads in progress\n"
    "                     finish, a second abandons them.\n"
    "                     The image is not converted again: a changed HEX file is not reread.\n";

const char* const ProductionExample =
    "    hexloader-cli upload --port COM3 --port COM4 --port COM5 --repeat --log uploads.jsonl firmware.hex\n";

const char* const PortsDescription =
    "  Prints the serial ports present on this machine (COM names), one per line, in the order of the\n"
    "  window's Port menu. Each name is what --port takes. Prints nothing when the machine has no\n"
    "  serial port.\n";

const char* const HelpOption = "  -h, --help, /? show this help, or with a command the command's help, and exit\n";

const char* const ExtraHelpSwitches[] = {"/?", nullptr};

}  // namespace hexloader::cli::platform_texts
