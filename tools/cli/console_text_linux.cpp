#include "tools/cli/console_text.h"

namespace hexloader::cli {

bool WriteText(std::FILE* Stream, std::string_view Text) {
  const bool Written = Text.empty() || std::fwrite(Text.data(), 1, Text.size(), Stream) == Text.size();
  return std::fflush(Stream) == 0 && Written;
}

}  // namespace hexloader::cli
