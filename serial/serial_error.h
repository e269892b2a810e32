#pragma once
// The serial component's exception and the one place where its messages are built.
#include <string>

#include "core/exception.h"

namespace hexloader {

class ESerialCommError : public Exception {
 public:
  using Exception::Exception;
};

// Message patterns of the serial component (the system's own English texts).
namespace serial_msg {
inline constexpr const char* DeviceNotFound = "Specified device not found (%s).";
inline constexpr const char* CantOpen = "Can't open specified device %s";
inline constexpr const char* CantOpenSuffix = " (Error %d, %s)";
inline constexpr const char* PortIsOpen = "Can't perform this operation while port is open";
inline constexpr const char* WriteDcb = "Error writing dcb (%d), %s";
inline constexpr const char* InitBuffers = "Error initializing buffers (%d), %s";
inline constexpr const char* SetTimeouts = "Error setting timeouts (%d), %s";
inline constexpr const char* SetEventMask = " Error setting EventMask (%d), %s";
inline constexpr const char* Statistics = "Error retrieving statistics (%d), %s";
inline constexpr const char* WriteError = "Write error (%d), %s";
inline constexpr const char* ReadError = "Read error (%d), %s";
inline constexpr const char* OutputFull = "Output buffer is full. Please check comm status.";
inline constexpr const char* ThreadCreation = "Thread creation error: %s";
inline constexpr const char* ThreadError = "Thread Error: %s (%d)";
inline constexpr const char* NegativeValue = "A buffer setting must not be negative (%d)";
}  // namespace serial_msg

// The OS text for Code with every trailing control character, blank and full stop removed.
std::string TrimmedSysErrorMessage(int Code);

// Pattern with its first "%d" replaced by Code and its first "%s" by the OS text of Code
// (substituted in one pass, so a "%" inside the inserted text is never read as a placeholder).
std::string FormatCommError(const std::string& Pattern, int Code);

// Raises ESerialCommError with FormatCommError(Pattern, Code). Code is errno captured at the failure.
[[noreturn]] void RaiseCommError(const std::string& Pattern, int Code);

// The two messages of a failed open, built from the device path directly. Advice, when not empty,
// follows the refusal on a line of its own (what the operator can do about it).
std::string DeviceNotFoundMessage(const std::string& Path);
std::string CantOpenMessage(const std::string& Path, int Code, const std::string& Advice = {});

}  // namespace hexloader
