#pragma once
// The one place where text crosses between UTF-8 (used everywhere inside the program) and UTF-16 (the
// wide ODBC functions and SQL_C_WCHAR data, on both systems: Windows' ODBC, and wine's, which serves
// only the wide functions). odbc_text_<platform>.cpp converts.
#include <string>
#include <string_view>

namespace hexloader::production {

// UTF-16 in the machine's byte order; bytes that are not valid UTF-8 become U+FFFD.
std::u16string OdbcTextFromUtf8(std::string_view Text);
// UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8FromOdbcText(std::u16string_view Text);

}  // namespace hexloader::production
