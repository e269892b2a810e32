#include "image/hex_lines.h"

#include <cstring>

namespace hexloader {

THexLineReader::THexLineReader(std::string_view Text) : Pos_(Text.data()), End_(Text.data() + Text.size()) {
  if (const void* nul = std::memchr(Pos_, '\0', Text.size())) End_ = static_cast<const char*>(nul);
}

bool THexLineReader::Next(THexLine& Line) {
  if (Pos_ >= End_) return false;
  const char* p = Pos_;
  while (p < End_ && *p != '\n' && *p != '\r') ++p;
  Line.Text = std::string_view(Pos_, static_cast<std::size_t>(p - Pos_));
  Line.Number = ++Number_;
  if (p < End_) {
    if (*p == '\r' && p + 1 < End_ && p[1] == '\n') ++p;
    ++p;
  }
  Pos_ = p;
  return true;
}

}  // namespace hexloader
