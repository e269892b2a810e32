#include "ui/settings/profile_lines.h"

#include <algorithm>

namespace hexloader::profile {
namespace {

char LowerAscii(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C; }

bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n' || C == '\v' || C == '\f'; }

}  // namespace

bool SameName(std::string_view A, std::string_view B) {
  return A.size() == B.size() &&
         std::equal(A.begin(), A.end(), B.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string_view Trim(std::string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

std::optional<std::string_view> SectionName(std::string_view Line) {
  Line = Trim(Line);
  if (Line.empty() || Line.front() != '[') return std::nullopt;
  const std::size_t close = Line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(Line.substr(1, close - 1));
}

std::optional<TKeyLine> KeyLine(std::string_view Line) {
  const std::string_view trimmed = Trim(Line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  const std::size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  TKeyLine result{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1))};
  if (result.Value.size() >= 2 && (result.Value.front() == '"' || result.Value.front() == '\'') &&
      result.Value.back() == result.Value.front())
    result.Value = result.Value.substr(1, result.Value.size() - 2);
  return result;
}

std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < Text.size()) {
    std::size_t end = Text.find('\n', start);
    if (end == std::string::npos) end = Text.size();
    std::string line = Text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::optional<TSectionRange> FindSection(const std::vector<std::string>& Lines, std::string_view Section) {
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    const auto name = SectionName(Lines[i]);
    if (!name || !SameName(*name, Section)) continue;
    std::size_t last = i + 1;
    while (last < Lines.size() && !SectionName(Lines[last])) ++last;
    return TSectionRange{i, i + 1, last};
  }
  return std::nullopt;
}

std::vector<std::string> WithValue(std::vector<std::string> Lines, const std::string& Section, const std::string& Key,
                                   const std::string& Value) {
  const auto range = FindSection(Lines, Section);
  if (!range) {
    Lines.push_back("[" + Section + "]");
    Lines.push_back(Key + "=" + Value);
    return Lines;
  }
  for (std::size_t i = range->First; i < range->Last; ++i) {
    const auto key = KeyLine(Lines[i]);
    if (key && SameName(key->Key, Key)) {
      // The key keeps the spelling it already has in the file.
      Lines[i] = std::string(key->Key) + "=" + Value;
      return Lines;
    }
  }
  // New keys go after the section's last non-blank line, so blank separator lines stay between sections.
  std::size_t insertAt = range->First;
  for (std::size_t i = range->First; i < range->Last; ++i)
    if (!Trim(Lines[i]).empty()) insertAt = i + 1;
  Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(insertAt), Key + "=" + Value);
  return Lines;
}

std::string CutUtf8(std::string Text, std::size_t MaxBytes) {
  if (Text.size() <= MaxBytes) return Text;
  std::size_t cut = MaxBytes;
  // Text[cut] is the first byte dropped: when it continues a sequence, drop that whole sequence.
  while (cut > 0 && (static_cast<unsigned char>(Text[cut]) & 0xC0) == 0x80) --cut;
  Text.resize(cut);
  return Text;
}

}  // namespace hexloader::profile
