#pragma once
// Failures of the upload session's start. Their messages are built here and only here.
#include <cstdint>
#include <string>

#include "core/exception.h"

namespace hexloader {

// Frames carry 16-bit addresses: an image must fit below this size, or its later frames would wrap
// to address 0 and overwrite the start of the device's memory.
inline constexpr std::uint64_t MaxImageSize = 65536;

class EImageTooLarge : public Exception {
 public:
  using Exception::Exception;
  // "Образ прошивки слишком велик: %llu байт, допустимо не более 65535 байт."
  static EImageTooLarge ForSize(std::uint64_t ImageSize);
};

// The message of the wrong-reply notice, shown in the plain message dialog.
inline constexpr const char* ReplyErrorText = "Ошибка ответа";

// The message when the device stops answering in the middle of an upload, shown like the one above.
inline constexpr const char* NoReplyText = "Устройство не отвечает";

// The power-on prompt's text.
inline constexpr const char* PowerOnPromptText = "Включи питание";

}  // namespace hexloader
