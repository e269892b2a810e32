#pragma once
// The symbolic link that --link makes to the simulator's pseudo-terminal, so that scripts can name the
// port by a fixed path. It never replaces a file that is not a link, and at the end it removes only a
// link that still points at our port (someone may have put another there meanwhile).
#include <string>

namespace hexloader::sim {

class TPortLink {
 public:
  TPortLink() = default;
  // Makes LinkPath a symbolic link to Target, replacing an older link there. Raises std::runtime_error
  // with the message to show when LinkPath exists and is not a symbolic link, or the link cannot be made.
  TPortLink(const std::string& LinkPath, const std::string& Target);
  ~TPortLink();
  TPortLink(const TPortLink&) = delete;
  TPortLink& operator=(const TPortLink&) = delete;

 private:
  std::string LinkPath_;  // empty: no link made
  std::string Target_;
};

}  // namespace hexloader::sim
