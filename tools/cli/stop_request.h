#pragma once
// The platform's requests to stop (a signal, a closed terminal, the console's Ctrl events), counted,
// for a program that checks them in its loop. The first request asks for a clean stop; a later one for
// a quicker one; any after that change nothing: the handling stays installed for the object's whole
// life, so no request ever ends the process outright while it closes its ports and writes its summary.
// A reader gone from standard output is no reason to stop either.
namespace hexloader::cli {

class TStopRequest {
 public:
  TStopRequest();   // installs the handling
  ~TStopRequest();  // restores the default actions
  TStopRequest(const TStopRequest&) = delete;
  TStopRequest& operator=(const TStopRequest&) = delete;

  // Requests received so far.
  int Count() const;
};

}  // namespace hexloader::cli
