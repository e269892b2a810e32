#pragma once
// Start-up setting every program of ours makes before it writes a file.

namespace hexloader {

// Past a file-size limit (ulimit -f) the system would end the process with a signal, leaving a partial
// file and no word. Ignoring that signal makes the write fail with EFBIG instead, so the usual write
// error names the file. Called first thing in every program entry; a no-op where no such signal exists.
void IgnoreFileSizeSignal();

}  // namespace hexloader
