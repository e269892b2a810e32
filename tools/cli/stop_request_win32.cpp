#include "tools/cli/stop_request.h"

#include <csignal>

namespace hexloader::cli {
namespace {

volatile std::sig_atomic_t Requests = 0;

extern "C" void OnStopSignal(int Signal) {
  Requests = Requests + 1;
  if (Requests >= 2) std::signal(Signal, SIG_DFL);
}

}  // namespace

TStopRequest::TStopRequest() {
  Requests = 0;
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}

TStopRequest::~TStopRequest() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

int TStopRequest::Count() const { return Requests; }

}  // namespace hexloader::cli
