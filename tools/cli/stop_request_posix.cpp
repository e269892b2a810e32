#include "tools/cli/stop_request.h"

#include <csignal>

namespace hexloader::cli {
namespace {

volatile std::sig_atomic_t Requests = 0;

// A closed terminal or ssh session (SIGHUP) is a request like Ctrl-C or SIGTERM.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnStopSignal(int) {
  // Saturates: only "none", "one" and "more" matter, and the count must never wrap.
  if (Requests < 1000) Requests = Requests + 1;
}

void SetAction(int Signal, void (*Handler)(int)) {
  struct sigaction Action {};
  Action.sa_handler = Handler;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  sigaction(Signal, &Action, nullptr);
}

}  // namespace

TStopRequest::TStopRequest() {
  Requests = 0;
  for (const int Signal : kStopSignals) SetAction(Signal, OnStopSignal);
  // A reader that went away (| head) shows up as a failed write to standard output: the display ends,
  // the records and the summary's status do not.
  SetAction(SIGPIPE, SIG_IGN);
}

TStopRequest::~TStopRequest() {
  for (const int Signal : kStopSignals) SetAction(Signal, SIG_DFL);
  SetAction(SIGPIPE, SIG_DFL);
}

int TStopRequest::Count() const { return Requests; }

}  // namespace hexloader::cli
