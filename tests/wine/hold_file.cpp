// A Windows helper for the tests: holds the file named on its command line open for reading and
// writing without sharing, says "held" on standard output, and lets go when its standard input ends.
#include <windows.h>

#include <cstdio>

int wmain(int Argc, wchar_t** Argv) {
  if (Argc != 2) return 2;
  const HANDLE file =
      ::CreateFileW(Argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  char buffer[64];
  DWORD got = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {}
  ::CloseHandle(file);
  return 0;
}
