#include "ui/hex_file_choice.h"

#include "core/exception.h"
#include "ui/app_texts.h"

namespace hexloader {

void CheckStorableHexFileName(const std::string& Path) {
  if (Path.find_first_of("\r\n") != std::string::npos) throw Exception(texts::FileNameWithLineBreak);
}

}  // namespace hexloader
