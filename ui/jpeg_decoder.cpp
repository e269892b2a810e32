#include "ui/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace hexloader {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return. Unwinding a C++ exception
// through the C library is not safe, so it jumps back to DecodeInto, which holds no C++ objects.
struct TErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Return;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr Info) {
  auto* manager = reinterpret_cast<TErrorManager*>(Info->err);
  (*Info->err->format_message)(Info, manager->Message);
  std::longjmp(manager->Return, 1);
}

void SilentOutput(j_common_ptr) {}

// Returns false with Manager->Message set on failure. Out must be sized by the caller's callback.
bool DecodeInto(const std::uint8_t* Data, std::size_t Size, TErrorManager* Manager, jpeg_decompress_struct* Info,
                TRgbImage* Out) {
  Info->err = jpeg_std_error(&Manager->Base);
  Manager->Base.error_exit = ErrorExit;
  Manager->Base.output_message = SilentOutput;
  if (setjmp(Manager->Return)) {
    jpeg_destroy_decompress(Info);
    return false;
  }
  jpeg_create_decompress(Info);
  jpeg_mem_src(Info, Data, static_cast<unsigned long>(Size));
  jpeg_read_header(Info, TRUE);
  Info->out_color_space = JCS_RGB;
  jpeg_start_decompress(Info);
  Out->Width = static_cast<int>(Info->output_width);
  Out->Height = static_cast<int>(Info->output_height);
  // The buffer is sized before any further libjpeg call that might jump back.
  Out->Rgb.resize(static_cast<std::size_t>(Out->Width) * Out->Height * 3);
  while (Info->output_scanline < Info->output_height) {
    JSAMPROW row = Out->Rgb.data() + static_cast<std::size_t>(Info->output_scanline) * Out->Width * 3;
    jpeg_read_scanlines(Info, &row, 1);
  }
  jpeg_finish_decompress(Info);
  jpeg_destroy_decompress(Info);
  return true;
}

}  // namespace

TRgbImage DecodeJpeg(const std::uint8_t* Data, std::size_t Size) {
  TRgbImage image;
  TErrorManager manager{};
  jpeg_decompress_struct info{};
  if (Size == 0) throw EJpegError("Empty JPEG data");
  if (!DecodeInto(Data, Size, &manager, &info, &image)) throw EJpegError(std::string("JPEG: ") + manager.Message);
  return image;
}

}  // namespace hexloader
