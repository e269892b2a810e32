#include "tools/sim/sim_options.h"

#include <stdexcept>

namespace hexloader::sim {

const char* const SimUsage =
    "Usage: hexloader-sim [OPTIONS]\n"
    "Plays the loader's device at the far end of a pseudo-terminal. Prints the port's path on the\n"
    "first line of standard output, echoes every byte it receives, answers each frame, and writes\n"
    "the memory it was sent to a file when the end frame arrives. A log of the frames goes to\n"
    "standard error. SIGINT or SIGTERM end it cleanly.\n"
    "\n"
    "Options:\n"
    "  --link PATH          also make a symbolic link PATH to the port (removed at exit if still\n"
    "                       ours); refused when PATH exists and is not a symbolic link\n"
    "  --memory FILE        write the received memory to FILE at the end frame\n"
    "  --hello-delay MS     switch on (send 0x55) MS milliseconds after the port is opened (100;\n"
    "                       0 = at once)\n"
    "  --hello-on-enter     switch on when Enter is pressed instead\n"
    "  --bit-rate N         pace the line at N bit/s, 10 bit times per byte, both directions\n"
    "  --reply-delay MS     a slow device: answer each frame MS milliseconds after it arrived\n"
    "  --usb-latency MS     deliver the device's bytes as a USB serial adapter with a latency timer of\n"
    "                       MS milliseconds does: held until MS has passed since the first byte held,\n"
    "                       or until a USB packet (62 bytes) is full, then handed over together\n"
    "  --usb-cdc MS         play a device with its own USB port (USB CDC), whose bit rate is only\n"
    "                       nominal: its bytes reach the loader in packets of at most 64 bytes, one\n"
    "                       every MS milliseconds (1 on a full-speed bus); with --bit-rate the device\n"
    "                       still takes that long for each byte\n"
    "  --once               exit after the first end frame (with --boards: the last board's, on\n"
    "                       every device)\n"
    "  --devices N          play N devices, each on a pseudo-terminal of its own; the paths are\n"
    "                       printed one per line, and --link and --memory get the device's number:\n"
    "                       PATH-1, PATH-2, ... (mem.bin -> mem-1.bin, mem-2.bin, ...)\n"
    "  --boards K           play K boards in turn: after an end frame the device switches on again as\n"
    "                       the next board, --hello-delay later, with fresh memory; memory files get\n"
    "                       the board's number: mem-b1.bin, mem-b2.bin, ... (mem-2-b3.bin with --devices)\n"
    "  --log short|full|none  the frame log: a summary, every frame, or nothing (short)\n"
    "  --s51 FIRMWARE.ihx   play the device with s51 (an 8051 simulator) running the device program\n"
    "                       FIRMWARE.ihx (make device: build/device/loader51.ihx) from the moment the\n"
    "                       port is opened; --memory gets all 64 KiB of its external data memory when\n"
    "                       the program finishes; with --once the status is 0 only if it finished\n"
    "  --avr BOOTLOADER.elf play the device with simavr (an AVR simulator): an ATmega328P at 16 MHz\n"
    "                       running the bootloader (make device-avr: build/device/loader-avr.elf)\n"
    "                       from the moment the port is opened; --memory gets its 32 KiB of flash\n"
    "                       when the bootloader starts the application (or when the board is\n"
    "                       switched off before); the port B pins' changes are logged; with --once\n"
    "                       the status is 0 only if the application was started\n"
    "  --flash IMAGE.bin    with --avr: the board already holds a program: its flash starts with\n"
    "                       IMAGE.bin (a flat image from 0x0000, below the bootloader)\n"
    "  --app-ms MS          with --avr: stop the simulation when the application has run MS\n"
    "                       milliseconds of device time (default: run it until the port is closed;\n"
    "                       with --once: stop it as it starts)\n"
    "Faults (N counts frames from 1 after switching on; sync, address, data, end all count):\n"
    "  --wrong-reply-at N   answer frame N with a wrong byte\n"
    "  --wrong-reply-byte B  answer frame N with byte B, in hexadecimal (AA or 0xAA), instead of the\n"
    "                       right reply XOR 5A\n"
    "  --silent-from N      answer nothing from frame N on\n"
    "  --noise-at N         put noise bytes on the line inside frame N's echo\n"
    "  --noise-count C      how many noise bytes (1)\n"
    "  --hangup-at N        hang the line up when frame N has arrived, then exit\n"
    "Other options:\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the program's version and exit\n";

namespace {

long Number(const std::string& Option, const std::string& Text, long Min) {
  std::size_t Used = 0;
  long Value = 0;
  try {
    Value = std::stol(Text, &Used);
  } catch (const std::exception&) {
    Used = 0;
  }
  if (Used != Text.size() || Text.empty() || Value < Min)
    throw std::invalid_argument("bad value '" + Text + "' for " + Option);
  return Value;
}

// A byte in hexadecimal, with or without "0x": one or two digits.
int HexByte(const std::string& Option, const std::string& Text) {
  const std::string Digits = Text.rfind("0x", 0) == 0 || Text.rfind("0X", 0) == 0 ? Text.substr(2) : Text;
  if (Digits.empty() || Digits.size() > 2 || Digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    throw std::invalid_argument("bad value '" + Text + "' for " + Option + " (a byte in hexadecimal: AA or 0xAA)");
  return static_cast<int>(std::stoi(Digits, nullptr, 16));
}

}  // namespace

std::string NumberedPath(const std::string& Path, int Device, int Devices, int Board, int Boards) {
  std::string Suffix;
  // Appended piece by piece: "-" + std::to_string(...) trips a false -Wrestrict warning of GCC 12.
  if (Devices > 1) {
    Suffix += '-';
    Suffix += std::to_string(Device);
  }
  if (Boards > 1) {
    Suffix += "-b";
    Suffix += std::to_string(Board);
  }
  const std::size_t Slash = Path.find_last_of('/');
  const std::size_t Dot = Path.find_last_of('.');
  const bool HasExtension = Dot != std::string::npos && Dot > 0 && (Slash == std::string::npos || Dot > Slash + 1);
  if (!HasExtension) return Path + Suffix;
  return Path.substr(0, Dot) + Suffix + Path.substr(Dot);
}

TSimOptions ParseSimOptions(const std::vector<std::string>& Args, bool& Help) {
  TSimOptions O;
  Help = false;
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& A = Args[i];
    auto Value = [&]() -> const std::string& {
      if (i + 1 >= Args.size()) throw std::invalid_argument(A + " needs a value");
      return Args[++i];
    };
    if (A == "--help" || A == "-h") Help = true;
    else if (A == "--version") O.Version = true;
    else if (A == "--link") O.LinkPath = Value();
    else if (A == "--memory") O.MemoryPath = Value();
    else if (A == "--hello-delay") O.HelloDelayMs = static_cast<int>(Number(A, Value(), 0));
    else if (A == "--hello-on-enter") O.HelloOnEnter = true;
    else if (A == "--bit-rate") O.BitRate = Number(A, Value(), 0);
    else if (A == "--reply-delay") O.ReplyDelayMs = static_cast<int>(Number(A, Value(), 0));
    else if (A == "--usb-latency") O.UsbLatencyMs = static_cast<int>(Number(A, Value(), 0));
    else if (A == "--usb-cdc") O.UsbCdcMs = static_cast<int>(Number(A, Value(), 1));
    else if (A == "--once") O.Once = true;
    else if (A == "--devices") O.Devices = static_cast<int>(Number(A, Value(), 1));
    else if (A == "--boards") O.Boards = static_cast<int>(Number(A, Value(), 1));
    else if (A == "--s51") O.S51Firmware = Value();
    else if (A == "--avr") O.AvrFirmware = Value();
    else if (A == "--app-ms") O.AppMs = Number(A, Value(), 0);
    else if (A == "--flash") O.FlashPath = Value();
    else if (A == "--log") {
      const std::string& L = Value();
      if (L == "short") O.Log = TLogLevel::Short;
      else if (L == "full") O.Log = TLogLevel::Full;
      else if (L == "none") O.Log = TLogLevel::None;
      else throw std::invalid_argument("bad value '" + L + "' for --log");
    } else if (A == "--wrong-reply-at") O.Faults.WrongReplyAt = static_cast<int>(Number(A, Value(), 1));
    else if (A == "--wrong-reply-byte") O.Faults.WrongReplyByte = HexByte(A, Value());
    else if (A == "--silent-from") O.Faults.SilentFrom = static_cast<int>(Number(A, Value(), 1));
    else if (A == "--noise-at") O.Faults.NoiseAt = static_cast<int>(Number(A, Value(), 1));
    else if (A == "--noise-count") O.Faults.NoiseCount = static_cast<int>(Number(A, Value(), 1));
    else if (A == "--hangup-at") O.Faults.HangupAt = static_cast<int>(Number(A, Value(), 1));
    else throw std::invalid_argument("unknown option '" + A + "'");
  }
  if (O.Faults.WrongReplyByte >= 0 && O.Faults.WrongReplyAt == 0)
    throw std::invalid_argument("--wrong-reply-byte needs --wrong-reply-at");
  return O;
}

}  // namespace hexloader::sim
