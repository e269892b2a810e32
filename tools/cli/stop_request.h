#pragma once
// SIGINT and SIGTERM as requests to stop, counted, for a program that checks them in its loop. The
// first request asks for a clean stop; a later one for a quicker one. After the second the default
// action is back, so a third ends the process at once.
namespace hexloader::cli {

class TStopRequest {
 public:
  TStopRequest();   // installs the handlers
  ~TStopRequest();  // restores the default actions
  TStopRequest(const TStopRequest&) = delete;
  TStopRequest& operator=(const TStopRequest&) = delete;

  // Requests received so far.
  int Count() const;
};

}  // namespace hexloader::cli
