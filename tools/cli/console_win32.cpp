#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "core/wide_text_win32.h"
#include "tools/cli/console.h"

namespace hexloader::cli {
namespace {

bool IsConsole(DWORD Which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(Which), &mode) != 0;
}

// What the console was before the program changed it, put back when the program ends: the user's
// window keeps its own modes after we exit. Its code page is never changed: text reaches a console
// as UTF-16 (console_text_win32.cpp).
struct TConsoleState {
  HANDLE Output = INVALID_HANDLE_VALUE;
  DWORD OutputMode = 0;
  bool ModeChanged = false;
  bool Drawing = false;  // standard output is a console that reads VT sequences
};
TConsoleState Saved;

void RestoreConsole() {
  if (Saved.ModeChanged) ::SetConsoleMode(Saved.Output, Saved.OutputMode);
  Saved.ModeChanged = false;
}

// Runs before the default action of Ctrl+C, Ctrl+Break or a closed window ends a program that has no
// handler of its own for them (convert, ports); an upload's own stop handler comes first and keeps it.
BOOL WINAPI RestoreBeforeDefault(DWORD) {
  RestoreConsole();
  return FALSE;
}

}  // namespace

void PrepareConsole() {
  const bool OutConsole = IsConsole(STD_OUTPUT_HANDLE);
  // The progress display moves the cursor with VT sequences; a console that cannot read them (before
  // Windows 10) would print them, so there the display falls back to plain lines.
  if (OutConsole) {
    Saved.Output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::GetConsoleMode(Saved.Output, &Saved.OutputMode);
    if (Saved.OutputMode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) {
      Saved.Drawing = true;
    } else if (::SetConsoleMode(Saved.Output, Saved.OutputMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
      Saved.ModeChanged = true;
      Saved.Drawing = true;
    }
  }
  if (Saved.ModeChanged) {
    std::atexit(RestoreConsole);
    ::SetConsoleCtrlHandler(RestoreBeforeDefault, TRUE);
  }
  // Lines end in "\n" as on Linux, so that scripts read the same output on both systems.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> CommandLineArguments(int Argc, char** Argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(Argv, Argv + Argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return args;
}

bool StdoutIsTerminal() { return Saved.Drawing; }

}  // namespace hexloader::cli
