#pragma once
// Reading a whole file into one buffer, the same on every platform; the platform files give the buffer
// (AllocateFileBuffer) and the read call.
#include <cstddef>
#include <functional>

#include "image/image_file_system.h"

namespace hexloader::image_fs {

// A buffer of Capacity bytes that TFileBufferRelease frees; defined by the platform's file.
std::unique_ptr<char[], TFileBufferRelease> AllocateFileBuffer(std::size_t Capacity);

// Reads up to Room bytes into Into; returns how many, 0 at the end. Raises on failure.
using TReadSome = std::function<std::size_t(char* Into, std::size_t Room)>;

// Calls Read until it returns 0. SizeHint is the size the file had when opened (0 when unknown): the file
// may grow or shrink while it is read, or be a pipe, so the buffer grows when it fills.
TFileContent ReadUntilEnd(std::size_t SizeHint, const TReadSome& Read);

}  // namespace hexloader::image_fs
