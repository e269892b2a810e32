#include "serial/serial_error.h"

#include <cstring>

#include "core/system_error.h"

namespace hexloader {

std::string TrimmedSysErrorMessage(int Code) {
  std::string text = SysErrorMessage(Code);
  while (!text.empty()) {
    const unsigned char c = static_cast<unsigned char>(text.back());
    if (c < 0x20 || c == 0x7f || c == ' ' || c == '.') text.pop_back();
    else break;
  }
  return text;
}

std::string FormatCommError(const std::string& Pattern, int Code) {
  std::string out;
  bool codeDone = false;
  bool textDone = false;
  for (std::size_t i = 0; i < Pattern.size(); ++i) {
    if (Pattern[i] == '%' && i + 1 < Pattern.size()) {
      const char k = Pattern[i + 1];
      if (k == 'd' && !codeDone) {
        out += std::to_string(Code);
        codeDone = true;
        ++i;
        continue;
      }
      if (k == 's' && !textDone) {
        out += TrimmedSysErrorMessage(Code);
        textDone = true;
        ++i;
        continue;
      }
    }
    out += Pattern[i];
  }
  return out;
}

void RaiseCommError(const std::string& Pattern, int Code) { throw ESerialCommError(FormatCommError(Pattern, Code)); }

std::string DeviceNotFoundMessage(const std::string& Path) { return "Specified device not found (" + Path + ")."; }

std::string CantOpenMessage(const std::string& Path, int Code, const std::string& Advice) {
  std::string message = "Can't open specified device " + Path + " (Error " + std::to_string(Code) + ", " +
                        TrimmedSysErrorMessage(Code) + ")";
  if (!Advice.empty()) message += "\n" + Advice;
  return message;
}

}  // namespace hexloader
