// Port discovery on Windows: the system's list of DOS device names, of which the serial ports are the
// names "COM" followed by their number. Every 64-bit Windows is of the NT family, which has this list,
// so the probing of COM1..COM255 that older systems needed is not built.
#include <windows.h>

#include <vector>

#include "core/wide_text_win32.h"
#include "serial/enum_com_ports.h"

namespace hexloader {
namespace {

// All DOS device names, one after another, each ended by a zero; the list ends with an empty name.
// Empty when the system cannot tell.
std::vector<wchar_t> DosDeviceNames() {
  std::vector<wchar_t> buffer(65535);
  for (;;) {
    const DWORD n = ::QueryDosDeviceW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n != 0) {
      buffer.resize(n);
      return buffer;
    }
    // A machine with many devices must not lose its ports: grow rather than report none.
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= (1u << 24)) return {};
    buffer.resize(buffer.size() * 4);
  }
}

}  // namespace

std::vector<std::string> EnumComPorts(const std::string&, const std::string&) {
  std::vector<std::string> names;
  const std::vector<wchar_t> all = DosDeviceNames();
  const wchar_t* p = all.data();
  const wchar_t* end = all.data() + all.size();
  while (p < end && *p) {
    const std::wstring_view name(p, ::wcsnlen(p, static_cast<std::size_t>(end - p)));
    // "COM" alone is no port; the comparison is case-sensitive, as the system names its ports.
    if (name.size() > 3 && name.substr(0, 3) == L"COM") names.push_back(Utf8FromWide(name));
    p += name.size() + 1;
  }
  return names;
}

}  // namespace hexloader
