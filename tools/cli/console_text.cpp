#include "tools/cli/console_text.h"

#include <cstdarg>
#include <string>

namespace hexloader::cli {

bool PrintText(std::FILE* Stream, const char* Format, ...) {
  std::va_list Args;
  va_start(Args, Format);
  std::va_list Again;
  va_copy(Again, Args);
  const int Length = std::vsnprintf(nullptr, 0, Format, Args);
  va_end(Args);
  std::string Text(Length > 0 ? static_cast<std::size_t>(Length) : 0, '\0');
  if (Length > 0) std::vsnprintf(Text.data(), Text.size() + 1, Format, Again);
  va_end(Again);
  return WriteText(Stream, Text);
}

}  // namespace hexloader::cli
