// The password crosses as UTF-16: the narrow environment holds it in the ANSI code page.
#include <windows.h>

#include <cstdlib>

#include "core/wide_text_win32.h"
#include "production/store_connection.h"

namespace hexloader::production {

std::optional<std::string> StorePasswordFromEnvironment() {
  const std::wstring Name = WideFromUtf8(kStorePasswordVariable);
  const wchar_t* Value = ::_wgetenv(Name.c_str());
  if (!Value || !*Value) return std::nullopt;
  return Utf8FromWide(Value);
}

}  // namespace hexloader::production
