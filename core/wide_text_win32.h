#pragma once
// The one place where text crosses between UTF-8 (used everywhere inside the program) and UTF-16 (what
// the Win32 "W" functions take). Only Win32 back ends include this header.
#include <string>
#include <string_view>

namespace hexloader {

// UTF-16 for Text; bytes that are not valid UTF-8 become U+FFFD.
std::wstring WideFromUtf8(std::string_view Text);
// UTF-8 for Text; unpaired surrogates become U+FFFD.
std::string Utf8FromWide(std::wstring_view Text);

}  // namespace hexloader
