#pragma once
// The decisions on one HEX line: which record it is and the values of its fields. Pure: no file is touched
// here. Every field read is checked against the line's length first, so nothing beyond a line is read.
#include <cstddef>
#include <cstdint>

#include "image/hex_lines.h"

namespace hexloader {

enum class THexRecordKind {
  Ignored,         // not a record the image needs
  SegmentAddress,  // byte count 02, record type ending in 2: the base becomes segment * 16
  LinearAddress,   // byte count 02, record type ending in 4: the base becomes upper address * 65536
  Data,            // record type 00 with at least one data byte
};

// Position of the first data digit in a record line (after ":", byte count, load address and type).
inline constexpr std::size_t kDataStart = 9;

// Which record Line holds. A line that is empty or does not start with ":" is ignored; a line starting with
// ":" that is too short to hold its record type raises EConvertError (LineTooShort).
THexRecordKind ClassifyLine(const THexLine& Line);

// The new address base of an extended address record (SegmentAddress or LinearAddress).
// Raises EConvertError: LineTooShort, or NotAnInteger with "$", the digits and "0" or "0000".
std::uint32_t ExtendedAddressBase(const THexLine& Line, THexRecordKind Kind);

// The load address of a data record (positions 3-6). Raises EConvertError (NotAnInteger).
std::uint16_t DataLoadAddress(const THexLine& Line);

// The number of data bytes of a data record (positions 1-2). Raises EConvertError: NotAnInteger, or
// LineTooShort when the line ends before its last data byte.
std::uint8_t DataByteCount(const THexLine& Line);

// Decodes the Count data bytes of a data record into Out, in order, stopping at the first byte that is not
// two hexadecimal digits. Returns the number of bytes decoded. DataByteCount must have accepted the line.
std::size_t DecodeDataBytes(const THexLine& Line, std::uint8_t Count, std::uint8_t* Out);

// Raises the NotAnInteger error for data byte Index of Line (the one DecodeDataBytes stopped at).
[[noreturn]] void RaiseBadDataByte(const THexLine& Line, std::size_t Index);

}  // namespace hexloader
