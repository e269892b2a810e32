// POSIX: SIGXFSZ ends a process that writes past RLIMIT_FSIZE unless it is ignored.
#include <signal.h>

#include "core/file_size_signal.h"

namespace hexloader {

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace hexloader
