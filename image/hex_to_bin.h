#pragma once
// The converter: turns an Intel HEX file into the flat binary image that the upload sends.
#include <functional>
#include <string>
#include <string_view>

#include "image/hex_lines.h"

namespace hexloader {

// Converts the Intel HEX file at HexPath into a flat image file in the current directory and returns the
// image's name (relative to the current directory): the HEX file's name after its last "/", with the part
// from its last "." replaced by ".BIN" (".BIN" appended when it has no ".").
//
// Byte N of the image is the byte for device address N from address 0 on; addresses that no record fills
// hold 0xFF. Data records (type 00) are placed at their own addresses, shifted by the last extended segment
// (02) or extended linear (04) address record; every other line is ignored and checksums are not checked.
// An existing image of that name is first renamed to the ".BAK" name, unless a file of that name exists
// (then the old image is removed). A symbolic link at the image's name is treated as such a file itself,
// never followed: the image is always a new regular file. The image is streamed to disk, never held in
// memory.
//
// Returns "" when no file exists at HexPath (nothing is read, renamed or created).
// Raises EFOpenError when the HEX file cannot be read, EFCreateError when the image cannot be created,
// EFWriteError when writing the image fails, and EConvertError for a field that is not hexadecimal, a
// line too short for its record or data that overlaps data written before (its LineNumber is that line's).
// After a failure the image holds what was written before it; the image file is always closed when this
// returns or raises.
std::string HexToBin(const std::string& HexPath);

// Called with every line that starts with ":" (a record, as far as the line rules go), in file order,
// before the line is applied; up to the line that stops a failing conversion.
using TRecordObserver = std::function<void(const THexLine& Line)>;

// The same conversion for a caller that has read the HEX file at HexPath already (its Text, with
// image_fs::ReadWholeFile): the file is not read again. HexPath names the image. OnRecord, when given,
// sees the records on the conversion's own pass, so that looking at them costs no pass of its own.
std::string HexToBinText(const std::string& HexPath, std::string_view Text, const TRecordObserver& OnRecord = {});

}  // namespace hexloader
