#pragma once
#include <QImage>

namespace hexloader {

// The 80 x 80 logo stored with the program (a JPEG resource), decoded with libjpeg.
// Raises EJpegError when the stored picture cannot be decoded.
QImage LogoPicture();

}  // namespace hexloader
