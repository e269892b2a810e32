#include "image/hex_to_bin.h"

#include <array>
#include <cstdint>

#include "image/file_errors.h"
#include "image/hex_line_rules.h"
#include "image/hex_lines.h"
#include "image/image_file_system.h"
#include "image/image_name.h"
#include "image/image_writer.h"
#include "image/written_ranges.h"

namespace hexloader {
namespace {

// One conversion's working state; created per call, so calls share nothing.
class TConversion {
 public:
  explicit TConversion(image_fs::TOutputFile& File) : Writer_(File) {}

  void ApplyLine(const THexLine& Line) {
    THexRecordKind kind = ClassifyLine(Line);
    switch (kind) {
      case THexRecordKind::Ignored: return;
      case THexRecordKind::SegmentAddress:
      case THexRecordKind::LinearAddress: AddressBase_ = ExtendedAddressBase(Line, kind); return;
      case THexRecordKind::Data: WriteDataRecord(Line); return;
    }
  }

  TImageWriter& Writer() { return Writer_; }

 private:
  void WriteDataRecord(const THexLine& Line) {
    // The sum wraps at 32 bits, as the base and the load address are 32-bit values.
    std::uint64_t target = static_cast<std::uint32_t>(DataLoadAddress(Line) + AddressBase_);
    // Fill before the byte count is read: a failure further on leaves the fill in the file.
    Writer_.FillTo(target);
    std::uint8_t count = DataByteCount(Line);
    std::size_t decoded = DecodeDataBytes(Line, count, Bytes_.data());
    if (auto overlap = Written_.FirstOverlap(target, target + decoded))
      throw EConvertError::Overlap(Line.Number, *overlap);
    Writer_.WriteAt(target, Bytes_.data(), decoded);
    Written_.Add(target, target + decoded);
    if (decoded < count) RaiseBadDataByte(Line, decoded);
  }

  TImageWriter Writer_;
  TWrittenRanges Written_;
  std::uint32_t AddressBase_ = 0;
  std::array<std::uint8_t, 256> Bytes_{};
};

}  // namespace

std::string HexToBin(const std::string& HexPath) {
  if (!image_fs::FileExists(HexPath)) return std::string();
  const image_fs::TFileContent content = image_fs::ReadWholeFile(HexPath);
  return HexToBinText(HexPath, content.Text());
}

std::string HexToBinText(const std::string& HexPath, std::string_view Text, const TRecordObserver& OnRecord) {
  const std::string imageName = ImageFileName(HexPath);
  // A symbolic link at the image's name is moved or removed like a file, never written through: in a
  // folder others can write to, a planted link would have the image overwrite a file elsewhere.
  if (image_fs::EntryExists(imageName)) image_fs::RenameNoReplace(imageName, BackupFileName(imageName));

  // Created new, never opened over what is there: an entry planted between the two calls fails the create.
  image_fs::RemoveEntry(imageName);
  image_fs::TOutputFile file = image_fs::TOutputFile::CreateExclusive(imageName);
  TConversion conversion(file);
  THexLineReader lines(Text);
  THexLine line;
  try {
    if (OnRecord) {
      while (lines.Next(line)) {
        if (!line.Text.empty() && line.Text[0] == ':') OnRecord(line);
        conversion.ApplyLine(line);
      }
    } else {
      while (lines.Next(line)) conversion.ApplyLine(line);
    }
  } catch (Exception& failure) {
    // The line the failure is in, for messages that name it their own way.
    if (auto* convert = dynamic_cast<EConvertError*>(&failure))
      if (convert->LineNumber() == 0) convert->SetLineNumber(line.Number);
    // The image keeps every byte placed before the failure; the first failure is the one reported.
    try {
      conversion.Writer().Flush();
    } catch (const Exception&) {}
    throw;
  }
  conversion.Writer().Flush();
  file.Close();
  return imageName;
}

}  // namespace hexloader
