#pragma once
// A board's number written into its own copy of the image. The converted image stays as it is; each
// board gets a copy with the field filled, grown with 0xFF when the field lies beyond its end.
#include <cstdint>
#include <vector>

#include "production/serial_value.h"

namespace hexloader::production {

// Where and how the number goes.
struct TSerialField {
  std::uint32_t Address = 0;
  int Size = 0;  // 1 to 8
  TSerialFormat Format = TSerialFormat::LittleEndian;
};

// True when Value can be written into Field: a number up to LargestSerial, or for ascii a text of
// exactly Field.Size characters.
bool FitsField(const TSerialField& Field, const TSerialValue& Value);

// The Size bytes Field receives for Value (which must fit: FitsField).
std::vector<std::uint8_t> SerialFieldBytes(const TSerialField& Field, const TSerialValue& Value);

// Refuses the image (ESerialFieldNotBlank, naming the first byte that is not 0xFF) when the field
// holds anything but 0xFF: a firmware reserves its serial field blank. Bytes beyond the image's end
// count as 0xFF.
void CheckSerialFieldBlank(const std::vector<std::uint8_t>& Image, const TSerialField& Field);

// A copy of Image with Value written into Field, grown with 0xFF up to the field's end when needed.
// Raises Exception when Value does not fit the field.
std::vector<std::uint8_t> StampedImage(const std::vector<std::uint8_t>& Image, const TSerialField& Field,
                                       const TSerialValue& Value);

}  // namespace hexloader::production
