#pragma once
// What the command-line tool needs of the platform's console: its arguments as UTF-8, whether standard
// output is a terminal, and a console made ready for the progress display (console_<platform>.cpp).
// The text itself goes out through console_text.h.
#include <string>
#include <vector>

namespace hexloader::cli {

// Sets up standard output and standard error (binary line ends; on Windows VT sequences on a console,
// its mode put back at exit); call once, first thing in main.
void PrepareConsole();

// The command line, program name first, as UTF-8 (Windows: from the UTF-16 command line, so that a
// Cyrillic file name survives whatever the ANSI code page is).
std::vector<std::string> CommandLineArguments(int Argc, char** Argv);

// True when standard output is a terminal where a progress bar can be drawn (on Windows a console that
// reads VT sequences; an older console gets plain lines).
bool StdoutIsTerminal();

}  // namespace hexloader::cli
