#pragma once
// Text for standard output and standard error, UTF-8 inside (console_text_<platform>.cpp). On a
// Windows console it goes out as UTF-16, so Cyrillic shows whatever the console's code page is and the
// user's code page is never changed; to a pipe or a file, and on Linux, the bytes go out as they are.
#include <cstdio>
#include <string_view>

namespace hexloader::cli {

// Writes Text to Stream and flushes it; false when the write failed (the reader has gone, say).
bool WriteText(std::FILE* Stream, std::string_view Text);

// printf-style formatting, then WriteText.
bool PrintText(std::FILE* Stream, const char* Format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace hexloader::cli
