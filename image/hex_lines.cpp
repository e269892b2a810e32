#include "image/hex_lines.h"

#include <cstring>

namespace hexloader {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

// The line from its ":" on when only blanks stand before it; otherwise the line unchanged.
std::string_view DropBlanksBeforeMark(std::string_view Line) {
  if (Line.empty() || !IsBlank(Line.front())) return Line;
  std::size_t mark = 1;
  while (mark < Line.size() && IsBlank(Line[mark])) ++mark;
  return mark < Line.size() && Line[mark] == ':' ? Line.substr(mark) : Line;
}

}  // namespace

THexLineReader::THexLineReader(std::string_view Text) : Pos_(Text.data()), End_(Text.data() + Text.size()) {
  // memchr must not see the null data pointer of an empty text.
  if (Text.empty()) {
    NextCr_ = End_;
    return;
  }
  if (const void* nul = std::memchr(Pos_, '\0', Text.size())) End_ = static_cast<const char*>(nul);
  if (std::string_view(Pos_, static_cast<std::size_t>(End_ - Pos_)).starts_with(kUtf8ByteOrderMark))
    Pos_ += kUtf8ByteOrderMark.size();
  FindNextCr();
}

void THexLineReader::FindNextCr() {
  if (Pos_ >= End_) {
    NextCr_ = End_;
    return;
  }
  const void* cr = std::memchr(Pos_, '\r', static_cast<std::size_t>(End_ - Pos_));
  NextCr_ = cr ? static_cast<const char*>(cr) : End_;
}

bool THexLineReader::Next(THexLine& Line) {
  if (Pos_ >= End_) return false;
  // memchr scans many bytes at a time; the next CR is remembered, since most files have one per line
  // or none at all.
  if (NextCr_ < Pos_) FindNextCr();
  const void* lf = std::memchr(Pos_, '\n', static_cast<std::size_t>(NextCr_ - Pos_));
  const char* p = lf ? static_cast<const char*>(lf) : NextCr_;
  Line.Text = DropBlanksBeforeMark(std::string_view(Pos_, static_cast<std::size_t>(p - Pos_)));
  Line.Number = ++Number_;
  if (p < End_) {
    if (*p == '\r' && p + 1 < End_ && p[1] == '\n') ++p;
    ++p;
  }
  Pos_ = p;
  return true;
}

}  // namespace hexloader
