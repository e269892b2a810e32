// Stop requests on Windows come from the console, not from signals: Ctrl+C, Ctrl+Break and closing the
// console window each ask for a stop, counted for the whole run as SIGINT and SIGTERM are on Linux. The
// C library's signal() resets its handler before calling it, which would let the second Ctrl+C end the
// process before the running uploads are abandoned and their records written; a console handler stays.
#include <windows.h>

#include <atomic>

#include "tools/cli/stop_request.h"

namespace hexloader::cli {
namespace {

std::atomic<int> Requests{0};

// Runs on a thread the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD Event) {
  switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: Requests.fetch_add(1); return TRUE;
    case CTRL_CLOSE_EVENT:
      // Returning ends the process at once: the main loop gets the time the system allows after a close
      // (about five seconds) to abandon the uploads and put the records of finished boards on disk.
      Requests.fetch_add(2);
      ::Sleep(INFINITE);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

TStopRequest::TStopRequest() {
  Requests = 0;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

TStopRequest::~TStopRequest() { ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

int TStopRequest::Count() const { return Requests.load(); }

}  // namespace hexloader::cli
