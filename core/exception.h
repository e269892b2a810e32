#pragma once
// Base of every exception the program raises on purpose. Library layers never print: they raise one of
// these, and the program decides how to show it (message box, standard error).
#include <stdexcept>
#include <string>

namespace hexloader {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
  std::string Message() const { return what(); }
};

// The silent abort: the central exception display ignores it.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace hexloader
