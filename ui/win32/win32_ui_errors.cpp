#include "ui/win32/win32_ui_errors.h"

#include "core/exception.h"
#include "core/system_error.h"

namespace hexloader {

void RaiseWin32UiError(const std::string& What, unsigned long Code) {
  if (Code == 0) throw Exception(What);
  std::string text = SysErrorMessage(static_cast<int>(Code));
  // The system's texts end with a full stop; the central display adds its own rule after ours.
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  throw Exception(What + ": " + text + " (" + std::to_string(Code) + ")");
}

}  // namespace hexloader
