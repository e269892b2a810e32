// On Linux the C library's iconv converts; unixODBC's wide characters are 16-bit UTF-16 code units
// in the machine's byte order.
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

#include "production/odbc_text.h"

namespace hexloader::production {
namespace {

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Converts In from one encoding to the other; an invalid sequence in In becomes Replacement, and the
// conversion goes on after one byte (UTF-8) or one unit (UTF-16) of it.
std::string Convert(const char* To, const char* From, std::string_view In, std::string_view Replacement,
                    std::size_t Unit) {
  const iconv_t Cd = ::iconv_open(To, From);
  if (Cd == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string Out;
  char Buffer[4096];
  char* Src = const_cast<char*>(In.data());
  std::size_t Left = In.size();
  while (Left > 0) {
    char* Dst = Buffer;
    std::size_t Room = sizeof Buffer;
    const std::size_t Done = ::iconv(Cd, &Src, &Left, &Dst, &Room);
    const int Code = errno;
    Out.append(Buffer, static_cast<std::size_t>(Dst - Buffer));
    if (Done != static_cast<std::size_t>(-1) || Code == E2BIG) continue;
    // EILSEQ or EINVAL (cut off at the end): replace and step over one unit.
    Out.append(Replacement);
    const std::size_t Skip = Left < Unit ? Left : Unit;
    Src += Skip;
    Left -= Skip;
  }
  ::iconv_close(Cd);
  return Out;
}

}  // namespace

std::u16string OdbcTextFromUtf8(std::string_view Text) {
  const char16_t Replacement = u'\uFFFD';
  const std::string Bytes =
      Convert(kUtf16, "UTF-8", Text, std::string_view(reinterpret_cast<const char*>(&Replacement), 2), 1);
  std::u16string Out(Bytes.size() / 2, u'\0');
  std::memcpy(Out.data(), Bytes.data(), Out.size() * 2);
  return Out;
}

std::string Utf8FromOdbcText(std::u16string_view Text) {
  return Convert("UTF-8", kUtf16, std::string_view(reinterpret_cast<const char*>(Text.data()), Text.size() * 2),
                 "\xEF\xBF\xBD", 2);
}

}  // namespace hexloader::production
