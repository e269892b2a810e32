#pragma once
// Pure line rules of the profile file, apart from the file I/O: what a line is and how a section is
// found. Shared by the back ends and tested without files.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hexloader::profile {

bool SameName(std::string_view A, std::string_view B);  // ASCII case-insensitive
std::string_view Trim(std::string_view Text);

// "[Name]" (blanks around allowed; text after "]" ignored) -> Name.
std::optional<std::string_view> SectionName(std::string_view Line);

struct TKeyLine {
  std::string_view Key;
  std::string_view Value;  // trimmed, one pair of matching quotes removed
};
// "Key=Value" -> the key and value; comment lines (";" first) and lines without "=" are not keys.
std::optional<TKeyLine> KeyLine(std::string_view Line);

std::vector<std::string> SplitLines(const std::string& Text);  // "\n" or "\r\n"; no empty last line

// The lines after the header of Section: [First, Last) where Last is the next section header or the end.
struct TSectionRange {
  std::size_t Header;
  std::size_t First;
  std::size_t Last;
};
std::optional<TSectionRange> FindSection(const std::vector<std::string>& Lines, std::string_view Section);

// The lines of the file after Key in Section was set to Value (section and key appended when missing).
std::vector<std::string> WithValue(std::vector<std::string> Lines, const std::string& Section, const std::string& Key,
                                   const std::string& Value);

// Cuts Text to at most MaxBytes, backing off so that no UTF-8 sequence is split.
std::string CutUtf8(std::string Text, std::size_t MaxBytes);

}  // namespace hexloader::profile
