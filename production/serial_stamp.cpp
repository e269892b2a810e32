#include "production/serial_stamp.h"

#include "production/production_errors.h"

namespace hexloader::production {

bool FitsField(const TSerialField& Field, const TSerialValue& Value) {
  if (Field.Format == TSerialFormat::Ascii && !Value.Number())
    return static_cast<int>(Value.Text().size()) == Field.Size;
  return Value.Number() && *Value.Number() <= LargestSerial(Field.Format, Field.Size);
}

std::vector<std::uint8_t> SerialFieldBytes(const TSerialField& Field, const TSerialValue& Value) {
  std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Field.Size));
  if (Field.Format == TSerialFormat::Ascii) {
    // Numbers as zero-padded digits (the value's own text may have been padded to another width).
    const std::string Text =
        Value.Number() ? TSerialValue::OfNumber(*Value.Number(), Field.Format, Field.Size).Text() : Value.Text();
    for (std::size_t i = 0; i < Bytes.size() && i < Text.size(); ++i) Bytes[i] = static_cast<std::uint8_t>(Text[i]);
    return Bytes;
  }
  std::uint64_t Number = *Value.Number();
  for (std::size_t i = 0; i < Bytes.size(); ++i) {
    const std::size_t At = Field.Format == TSerialFormat::LittleEndian ? i : Bytes.size() - 1 - i;
    Bytes[At] = static_cast<std::uint8_t>(Number & 0xFF);
    Number >>= 8;
  }
  return Bytes;
}

void CheckSerialFieldBlank(const std::vector<std::uint8_t>& Image, const TSerialField& Field) {
  for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(Field.Size); ++i) {
    const std::uint32_t At = Field.Address + i;
    if (At < Image.size() && Image[At] != 0xFF)
      throw ESerialFieldNotBlank::At(Field.Address, Field.Size, At, Image[At]);
  }
}

std::vector<std::uint8_t> StampedImage(const std::vector<std::uint8_t>& Image, const TSerialField& Field,
                                       const TSerialValue& Value) {
  if (!FitsField(Field, Value))
    throw Exception("serial number " + Value.Text() + " does not fit its field of " + std::to_string(Field.Size) +
                    " bytes");
  std::vector<std::uint8_t> Copy = Image;
  const std::size_t End = static_cast<std::size_t>(Field.Address) + static_cast<std::size_t>(Field.Size);
  if (Copy.size() < End) Copy.resize(End, 0xFF);
  const std::vector<std::uint8_t> Bytes = SerialFieldBytes(Field, Value);
  std::copy(Bytes.begin(), Bytes.end(), Copy.begin() + Field.Address);
  return Copy;
}

}  // namespace hexloader::production
