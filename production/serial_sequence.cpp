#include "production/serial_sequence.h"

#include <cerrno>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>

#include "core/file_stream.h"
#include "image/file_errors.h"
#include "production/production_errors.h"

namespace hexloader::production {
namespace {

std::string ReadWholeFile(const std::string& Path) {
  int Error = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(OpenStream(Path, Error), &std::fclose);
  if (!File) throw EFOpenError::ForFile(Path, Error);
  std::string Text;
  char Buffer[8192];
  std::size_t Got;
  while ((Got = std::fread(Buffer, 1, sizeof Buffer, File.get())) > 0) Text.append(Buffer, Got);
  if (std::ferror(File.get())) throw EFOpenError::ForStream(Path, errno);
  return Text;
}

std::string Bytes(int Size) { return std::to_string(Size) + (Size == 1 ? " byte" : " bytes"); }

}  // namespace

std::vector<TSerialValue> ParseSerialList(const std::string& Text, const TSerialField& Field, const std::string& File) {
  std::vector<TSerialValue> Values;
  std::map<TSerialValue::TKey, std::uint64_t> LineOf;
  const std::uint64_t Largest = LargestSerial(Field.Format, Field.Size);
  std::size_t Begin = Text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  for (std::uint64_t LineNumber = 1; Begin < Text.size(); ++LineNumber) {
    std::size_t End = Text.find('\n', Begin);
    if (End == std::string::npos) End = Text.size();
    std::string Line = Text.substr(Begin, End - Begin);
    Begin = End + 1;
    const auto First = Line.find_first_not_of(" \t\r");
    if (First == std::string::npos) continue;  // a blank line
    Line = Line.substr(First, Line.find_last_not_of(" \t\r") - First + 1);

    std::optional<TSerialValue> Value;
    if (Field.Format == TSerialFormat::Ascii) {
      if (const auto Number = ParseDecimalDigits(Line)) {
        if (*Number > Largest)
          throw ESerialListError::AtLine(File, LineNumber,
                                         "'" + Line + "' does not fit " + Bytes(Field.Size) + " of digits");
        Value = TSerialValue::OfNumber(*Number, Field.Format, Field.Size);
      } else {
        for (const char C : Line)
          if (static_cast<unsigned char>(C) < 0x20 || static_cast<unsigned char>(C) > 0x7E)
            throw ESerialListError::AtLine(File, LineNumber, "'" + Line + "' holds a character that is not ASCII");
        if (static_cast<int>(Line.size()) != Field.Size)
          throw ESerialListError::AtLine(File, LineNumber,
                                         "'" + Line + "' has " + std::to_string(Line.size()) +
                                             " characters; the field takes exactly " + std::to_string(Field.Size));
        Value = TSerialValue::OfText(Line);
      }
    } else {
      const auto Number = ParseUnsigned(Line);
      if (!Number)
        throw ESerialListError::AtLine(File, LineNumber,
                                       "'" + Line + "' is not a whole number (decimal or 0x hexadecimal)");
      if (*Number > Largest)
        throw ESerialListError::AtLine(
            File, LineNumber,
            "'" + Line + "' does not fit " + Bytes(Field.Size) + " (the largest is " + std::to_string(Largest) + ")");
      Value = TSerialValue::OfNumber(*Number, Field.Format, Field.Size);
    }
    const auto [Seen, Inserted] = LineOf.emplace(Value->Key(), LineNumber);
    if (!Inserted)
      throw ESerialListError::AtLine(File, LineNumber, "'" + Line + "' repeats line " + std::to_string(Seen->second));
    Values.push_back(std::move(*Value));
  }
  if (Values.empty()) throw ESerialListError::Empty(File);
  return Values;
}

TSerialSource LoadSerialSource(const TSerialSettings& Settings) {
  TSerialSource Source;
  Source.Name = Settings.Name;
  Source.Field = {Settings.Address, Settings.Size, Settings.Format};
  Source.Start = Settings.Start;
  Source.Step = Settings.Step;
  Source.ListFile = Settings.ListFile;
  if (!Source.ListFile.empty())
    Source.List = ParseSerialList(ReadWholeFile(Source.ListFile), Source.Field, Source.ListFile);
  return Source;
}

void TSequenceMemory::Note(const TSerialValue& Value) {
  Taken.insert(Value.Key());
  if (Value.Number() && (!Largest || *Value.Number() > *Largest)) Largest = *Value.Number();
}

TSerialValue NextSerial(const TSerialSource& Source, const TSequenceMemory& Memory) {
  if (!Source.ListFile.empty()) {
    for (const TSerialValue& Value : Source.List)
      if (!Memory.Taken.count(Value.Key())) return Value;
    throw ESerialSequenceEnded::ListUsedUp(Source.Name, Source.ListFile);
  }
  std::uint64_t Next = Source.Start;
  if (Memory.Largest) {
    if (*Memory.Largest > std::numeric_limits<std::uint64_t>::max() - Source.Step)
      throw ESerialSequenceEnded::BeyondLargestNumber(Source.Name);
    Next = std::max(Source.Start, *Memory.Largest + Source.Step);
  }
  const std::uint64_t Largest = LargestSerial(Source.Field.Format, Source.Field.Size);
  if (Next > Largest)
    throw ESerialSequenceEnded::DoesNotFit(Source.Name, std::to_string(Next), Source.Field.Size,
                                           std::to_string(Largest));
  return TSerialValue::OfNumber(Next, Source.Field.Format, Source.Field.Size);
}

}  // namespace hexloader::production
