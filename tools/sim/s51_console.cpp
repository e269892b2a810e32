#include "tools/sim/s51_console.h"

namespace hexloader::sim::s51 {

std::vector<std::string> Arguments(const std::string& Firmware) {
  return {
      "-t",
      "8051",  // the plain family member: 128 bytes of internal RAM, 64 KiB of external
      "-X",
      "11.0592M",  // the crystal the device program's UART timing is made for
      // FIFOs, not a terminal: s51 on a tty loses an input byte now and then, and its TCP port
      // treats 0xFF as a telnet command.
      "-S",
      std::string("in=") + ToDeviceFifo + ",out=" + FromDeviceFifo,
      "-I",
      "if=sfr[0xff]",  // the register the device program's finish writes 's' to
      Firmware,
  };
}

std::string ConsoleScript() {
  return
      // Otherwise byte 0x18 on the UART opens s51's menu and is swallowed.
      "expr uart0_esc_char=-1\n"
      // Otherwise s51 looks at the UART's input rarely, and every echoed byte takes about 400 ms.
      "expr uart0_check_often=1\n"
      // Memory no frame writes reads as erased flash does.
      "fill xram 0 0xffff 0xff\n"
      "run\n"
      // Read once the program has stopped the simulation.
      "dump /b xram 0 0xffff >" +
      std::string(MemoryFile) +
      "\n"
      "kill\n";
}

bool StoppedItself(const std::string& Log) { return Log.find("Program stopped itself") != std::string::npos; }

std::string StopLine(const std::string& Log) {
  const std::size_t At = Log.find("Stop at ");
  if (At == std::string::npos) return "";
  const std::size_t End = Log.find('\n', At);
  return Log.substr(At, End == std::string::npos ? std::string::npos : End - At);
}

}  // namespace hexloader::sim::s51
