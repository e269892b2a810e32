#include "upload/upload_errors.h"

#include <string>

namespace hexloader {

EImageTooLarge EImageTooLarge::ForSize(std::uint64_t ImageSize) {
  return EImageTooLarge("Образ прошивки слишком велик: " + std::to_string(ImageSize) + " байт, допустимо не более " +
                        std::to_string(MaxImageSize - 1) + " байт");
}

}  // namespace hexloader
