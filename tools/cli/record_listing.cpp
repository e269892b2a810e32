#include "tools/cli/record_listing.h"

#include <cstdio>

namespace hexloader::cli {
namespace {

using production::TRecordRow;

struct TColumn {
  const char* Header;
  std::string (*Cell)(const TRecordRow&);
};

std::string SerialText(const TRecordRow& R) { return R.Serial ? R.Serial->Text() : ""; }

std::string SecondsText(const TRecordRow& R) {
  if (!R.Seconds) return "";
  char Text[32];
  std::snprintf(Text, sizeof Text, "%.3f", *R.Seconds);
  return Text;
}

// clang-format off
const TColumn kTableColumns[] = {
    {"TIME",     [](const TRecordRow& R) { return R.Time; }},
    {"STATION",  [](const TRecordRow& R) { return R.Station; }},
    {"PORT",     [](const TRecordRow& R) { return R.Port; }},
    {"SEQUENCE", [](const TRecordRow& R) { return R.Serial ? R.Sequence : std::string(); }},
    {"SERIAL",   SerialText},
    {"RESULT",   [](const TRecordRow& R) { return R.Result; }},
    {"FILE",     [](const TRecordRow& R) { return R.File.value_or(""); }},
    {"SHA256",   [](const TRecordRow& R) { return R.Sha256.value_or(""); }},
    {"MESSAGE",  [](const TRecordRow& R) { return R.Message.value_or(""); }},
};

const TColumn kCsvColumns[] = {
    {"time",        [](const TRecordRow& R) { return R.Time; }},
    {"station",     [](const TRecordRow& R) { return R.Station; }},
    {"port",        [](const TRecordRow& R) { return R.Port; }},
    {"sequence",    [](const TRecordRow& R) { return R.Serial ? R.Sequence : std::string(); }},
    {"serial",      SerialText},
    {"result",      [](const TRecordRow& R) { return R.Result; }},
    {"file",        [](const TRecordRow& R) { return R.File.value_or(""); }},
    {"image_bytes", [](const TRecordRow& R) { return R.ImageBytes ? std::to_string(*R.ImageBytes) : std::string(); }},
    {"sha256",      [](const TRecordRow& R) { return R.Sha256.value_or(""); }},
    {"seconds",     SecondsText},
    {"frames",      [](const TRecordRow& R) { return R.Frames ? std::to_string(*R.Frames) : std::string(); }},
    {"message",     [](const TRecordRow& R) { return R.Message.value_or(""); }},
};
// clang-format on

// The columns a text takes on a terminal: one per character (the records' texts are Latin and Cyrillic).
std::size_t Width(const std::string& Text) {
  std::size_t Count = 0;
  for (const char C : Text)
    if ((static_cast<unsigned char>(C) & 0xC0) != 0x80) ++Count;
  return Count;
}

// A cell that stays on its line: line breaks and tabs become blanks.
std::string OneLine(std::string Text) {
  for (char& C : Text)
    if (C == '\n' || C == '\r' || C == '\t') C = ' ';
  return Text;
}

std::string Table(const std::vector<TRecordRow>& Rows) {
  if (Rows.empty()) return "No records.\n";
  constexpr std::size_t kColumns = sizeof kTableColumns / sizeof kTableColumns[0];
  std::vector<std::vector<std::string>> Cells;
  std::vector<std::size_t> Widths(kColumns);
  std::vector<std::string> Header;
  for (std::size_t c = 0; c < kColumns; ++c) Header.push_back(kTableColumns[c].Header);
  Cells.push_back(Header);
  for (const TRecordRow& Row : Rows) {
    std::vector<std::string> Line;
    for (std::size_t c = 0; c < kColumns; ++c) {
      std::string Cell = OneLine(kTableColumns[c].Cell(Row));
      Line.push_back(Cell.empty() ? "-" : Cell);
    }
    Cells.push_back(Line);
  }
  for (const auto& Line : Cells)
    for (std::size_t c = 0; c < kColumns; ++c) Widths[c] = std::max(Widths[c], Width(Line[c]));
  std::string Out;
  for (const auto& Line : Cells) {
    std::string Text;
    for (std::size_t c = 0; c < kColumns; ++c) {
      Text += Line[c];
      if (c + 1 < kColumns) Text += std::string(Widths[c] - Width(Line[c]) + 2, ' ');
    }
    while (!Text.empty() && Text.back() == ' ') Text.pop_back();
    Out += Text + "\n";
  }
  return Out;
}

// A CSV field, quoted when it holds a comma, a quote or a line break (RFC 4180).
std::string CsvField(const std::string& Text) {
  if (Text.find_first_of(",\"\r\n") == std::string::npos) return Text;
  std::string Quoted = "\"";
  for (const char C : Text) {
    if (C == '"') Quoted += '"';
    Quoted += C;
  }
  return Quoted + "\"";
}

std::string Csv(const std::vector<TRecordRow>& Rows) {
  std::string Out;
  for (const TColumn& Column : kCsvColumns) Out += std::string(&Column == kCsvColumns ? "" : ",") + Column.Header;
  Out += "\r\n";
  for (const TRecordRow& Row : Rows) {
    for (const TColumn& Column : kCsvColumns)
      Out += std::string(&Column == kCsvColumns ? "" : ",") + CsvField(Column.Cell(Row));
    Out += "\r\n";
  }
  return Out;
}

std::string Json(const std::vector<TRecordRow>& Rows) {
  if (Rows.empty()) return "[]\n";
  std::string Out = "[\n";
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    std::string Line = production::FormatRecordLine(Rows[i]);
    Line.pop_back();  // the newline
    Out += Line + (i + 1 < Rows.size() ? ",\n" : "\n");
  }
  return Out + "]\n";
}

}  // namespace

std::string FormatRecordListing(const std::vector<TRecordRow>& Rows, TListingFormat Format) {
  switch (Format) {
    case TListingFormat::Table: return Table(Rows);
    case TListingFormat::Csv: return Csv(Rows);
    case TListingFormat::Json: return Json(Rows);
  }
  return Table(Rows);
}

}  // namespace hexloader::cli
