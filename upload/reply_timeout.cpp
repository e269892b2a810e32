#include "upload/reply_timeout.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "upload/upload_session.h"

namespace hexloader {
namespace {

std::string Trimmed(const std::string& Text) {
  const auto first = Text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = Text.find_last_not_of(" \t\r\n");
  return Text.substr(first, last - first + 1);
}

}  // namespace

int ReplyTimeoutMsFromSetting(const std::string& Text) {
  const std::string t = Trimmed(Text);
  if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos) return frame::DefaultReplyTimeoutMs;
  errno = 0;
  const long long value = std::strtoll(t.c_str(), nullptr, 10);
  if (errno == ERANGE || value <= 0 || value > INT_MAX) return frame::DefaultReplyTimeoutMs;
  return static_cast<int>(value);
}

bool ParseReplyTimeoutSeconds(const std::string& Text, int& Ms) {
  if (Text.empty() || Text.find_first_not_of("0123456789.") != std::string::npos) return false;
  char* end = nullptr;
  const double seconds = std::strtod(Text.c_str(), &end);
  if (end != Text.c_str() + Text.size() || !std::isfinite(seconds)) return false;
  const double ms = std::round(seconds * 1000.0);
  if (ms < 1.0 || ms > 86400.0 * 1000.0) return false;
  Ms = static_cast<int>(ms);
  return true;
}

}  // namespace hexloader
