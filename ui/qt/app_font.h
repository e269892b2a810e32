#pragma once
#include <QFont>

namespace hexloader {

// The windows' sans-serif with Cyrillic glyphs, PixelSize pixels high.
QFont WindowFont(int PixelSize);

}  // namespace hexloader
