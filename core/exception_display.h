#pragma once
// The central exception display: every exception that escapes an event handler ends here.
// The program sets the hook once at start-up (the GUI shows a message box, the command-line tool
// prints to standard error). EAbort is ignored before the hook is called.
#include <exception>
#include <functional>
#include <string>

namespace hexloader {

using TExceptionDisplay = std::function<void(const std::string& Message)>;

// Replaces the hook; an empty hook restores the default (standard error).
void SetExceptionDisplay(TExceptionDisplay Display);

// Shows the exception through the hook, unless it is an EAbort. Never throws.
void ShowException(std::exception_ptr Error) noexcept;

// The text the display shows: the message with "." appended when it is not empty and its last
// character's code is greater than that of ".".
std::string ExceptionDisplayText(const std::string& Message);

}  // namespace hexloader
