#pragma once
// Splits the HEX file's text into lines without copying them.
#include <cstdint>
#include <string_view>

namespace hexloader {

// One line of the HEX file and its number counted from 1. The line is as read, except that spaces and
// tabs before a ":" that starts it are dropped (editors indent records); nothing else is trimmed.
struct THexLine {
  std::string_view Text;
  std::uint64_t Number = 0;
};

// Walks the lines of a text: a line ends at CR, at LF or at the pair CR LF; a line break at the very end
// adds no empty line, two breaks in a row give an empty line; a NUL character ends the text. A UTF-8
// byte-order mark at the start of the text is skipped: editors save one, and the first record must
// not be lost to it.
// The text must outlive the reader and the lines it hands out.
class THexLineReader {
 public:
  explicit THexLineReader(std::string_view Text);
  // Stores the next line in Line; false when there is none left.
  bool Next(THexLine& Line);

 private:
  const char* Pos_;
  const char* End_;
  void FindNextCr();

  const char* NextCr_;  // the first CR at or after Pos_, End_ when there is none
  std::uint64_t Number_ = 0;
};

}  // namespace hexloader
