// On Windows, UTF-16 is the system's own wide text: the program's one crossing does the work.
#include "core/wide_text_win32.h"
#include "production/odbc_text.h"

namespace hexloader::production {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 code units");

std::u16string OdbcTextFromUtf8(std::string_view Text) {
  const std::wstring Wide = WideFromUtf8(Text);
  return std::u16string(Wide.begin(), Wide.end());
}

std::string Utf8FromOdbcText(std::u16string_view Text) { return Utf8FromWide(std::wstring(Text.begin(), Text.end())); }

}  // namespace hexloader::production
