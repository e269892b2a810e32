#pragma once
// The reply time-out as the operator sets it: in the settings file (whole milliseconds) or on the
// command line (seconds). Anything unusable falls back to the default, never to "no time-out".
#include <string>

namespace hexloader {

// Section "Upload", key "ReplyTimeoutMs" of the settings file, read at each Start; the window never
// writes it.
inline constexpr const char* UploadSection = "Upload";
inline constexpr const char* ReplyTimeoutKey = "ReplyTimeoutMs";

// The stored text as milliseconds: a whole positive number (blanks around it allowed); missing,
// non-numeric, non-positive or out-of-range text gives frame::DefaultReplyTimeoutMs.
int ReplyTimeoutMsFromSetting(const std::string& Text);

// --reply-timeout SECONDS: a positive number of seconds, fractions allowed (1.5), at most a day.
// False when Text is not one; Ms is then unchanged.
bool ParseReplyTimeoutSeconds(const std::string& Text, int& Ms);

}  // namespace hexloader
