// On Windows the settings stay beside the executable (an executable under /usr does not occur), so the
// rules need nothing of the user's environment.
#include "ui/settings/settings_location.h"

namespace hexloader {

TSettingsEnvironment CurrentSettingsEnvironment() { return {}; }

}  // namespace hexloader
