#include <windows.h>

#include "core/wide_text_win32.h"
#include "production/station_name.h"

namespace hexloader::production {

std::string HostName() {
  wchar_t Name[256] = {};
  DWORD Size = sizeof Name / sizeof Name[0];
  if (!::GetComputerNameExW(ComputerNameDnsHostname, Name, &Size) || Size == 0) return "unknown";
  return Utf8FromWide(std::wstring(Name, Size));
}

}  // namespace hexloader::production
