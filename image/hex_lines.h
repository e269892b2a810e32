#pragma once
// Splits the HEX file's text into lines without copying them.
#include <cstdint>
#include <string_view>

namespace hexloader {

// One line of the HEX file, exactly as read (no trimming), and its number counted from 1.
struct THexLine {
  std::string_view Text;
  std::uint64_t Number = 0;
};

// Walks the lines of a text: a line ends at CR, at LF or at the pair CR LF; a line break at the very end
// adds no empty line, two breaks in a row give an empty line; a NUL character ends the text.
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
