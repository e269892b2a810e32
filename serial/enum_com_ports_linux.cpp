// Port discovery through sysfs: every tty the kernel knows is a directory under class/tty; real ports
// have a "device" link to the hardware behind them (virtual consoles and pseudo-terminals have none).
#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>

#include "serial/enum_com_ports.h"

namespace hexloader {
namespace {

bool Exists(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0;
}

// The 8250 driver registers its legacy ports (ttyS0..ttyS31) whether or not a UART answers there; the
// serial core then reports the port's UART type as 0 (unknown) in its "type" attribute, on kernels
// that bind the port to serial8250 directly and on those that put a serial-base "port" device between.
// Such a port cannot carry data. Ttys outside the serial core have no "type" attribute.
bool ReportsNoUart(const std::string& TtyDir) {
  std::ifstream type(TtyDir + "/type");
  unsigned value = 0;
  if (!(type >> value)) return false;
  return value == 0;
}

}  // namespace

std::vector<std::string> EnumComPorts(const std::string& SysRoot, const std::string& DevRoot) {
  std::vector<std::string> names;
  const std::string classDir = SysRoot + "/class/tty";
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(classDir.c_str()), ::closedir);
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string ttyDir = classDir + "/" + name;
    if (!Exists(ttyDir + "/device")) continue;
    if (ReportsNoUart(ttyDir)) continue;
    if (!Exists(DevRoot + "/" + name)) continue;
    names.push_back(name);
  }
  return names;
}

}  // namespace hexloader
