#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "core/wide_text_win32.h"
#include "tools/cli/console.h"

namespace hexloader::cli {
namespace {

bool IsConsole(DWORD Which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(Which), &mode) != 0;
}

}  // namespace

void PrepareConsole() {
  // Text goes out as UTF-8 bytes: through a pipe or a file they pass unchanged; a console is told to
  // read them as UTF-8 rather than in its OEM code page.
  if (IsConsole(STD_OUTPUT_HANDLE) || IsConsole(STD_ERROR_HANDLE)) ::SetConsoleOutputCP(CP_UTF8);
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

bool StdoutIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }

}  // namespace hexloader::cli
