#include <windows.h>
#include <io.h>

#include "core/wide_text_win32.h"
#include "tools/cli/console_text.h"

namespace hexloader::cli {

bool WriteText(std::FILE* Stream, std::string_view Text) {
  const HANDLE Handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(Stream)));
  DWORD Mode = 0;
  if (Handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(Handle, &Mode)) {
    // A console takes UTF-16 whatever its code page: nothing of the user's console is changed. What
    // the stream still holds goes first, so the order of the output stays.
    std::fflush(Stream);
    const std::wstring Wide = WideFromUtf8(Text);
    const wchar_t* Next = Wide.data();
    std::size_t Left = Wide.size();
    while (Left > 0) {
      DWORD Done = 0;
      const DWORD Piece = static_cast<DWORD>(Left < 8192 ? Left : 8192);
      if (!::WriteConsoleW(Handle, Next, Piece, &Done, nullptr) || Done == 0) return false;
      Next += Done;
      Left -= Done;
    }
    return true;
  }
  const bool Written = Text.empty() || std::fwrite(Text.data(), 1, Text.size(), Stream) == Text.size();
  return std::fflush(Stream) == 0 && Written;
}

}  // namespace hexloader::cli
