#pragma once
// The serial ports present on this machine, as device names the serial component opens unchanged.
#include <string>
#include <vector>

namespace hexloader {

// Lists the serial ports present, in the order found (not sorted; see SortPortNames). On Linux: the tty
// devices under <SysRoot>/class/tty that have a device behind them and a node under DevRoot, leaving out
// the serial ports that report no UART (the legacy
// 8250 ports where nothing answers); each as its bare name (ttyUSB0), which the serial component
// opens under /dev. On Windows: the DOS device names that begin with "COM" and are longer than
// that (COM1, COM10), as the system lists them; SysRoot and DevRoot are not used there. Empty when
// nothing is found or the system cannot be asked. Raises nothing.
std::vector<std::string> EnumComPorts(const std::string& SysRoot = "/sys", const std::string& DevRoot = "/dev");

// Sorts port names as the Port menu shows them: as text, without regard to letter case, in the user's
// locale (so ttyS10 comes before ttyS2). Names equal in that order keep a fixed, byte-wise order.
void SortPortNames(std::vector<std::string>& Names);

}  // namespace hexloader
