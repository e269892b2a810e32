#pragma once
// What the command-line tool needs of the platform's console: its arguments as UTF-8, whether standard
// output is a terminal, and UTF-8 output on a console (console_<platform>.cpp).
#include <string>
#include <vector>

namespace hexloader::cli {

// Sets up standard output and standard error for UTF-8 text; call once, first thing in main.
void PrepareConsole();

// The command line, program name first, as UTF-8 (Windows: from the UTF-16 command line, so that a
// Cyrillic file name survives whatever the ANSI code page is).
std::vector<std::string> CommandLineArguments(int Argc, char** Argv);

// True when standard output is a terminal where a progress bar can be drawn (on Windows a console that
// reads VT sequences; an older console gets plain lines).
bool StdoutIsTerminal();

}  // namespace hexloader::cli
