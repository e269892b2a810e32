#pragma once
// The windows' font: "MS Sans Serif" at a pixel height; Windows maps the name to its own sans-serif
// font (the face name is kept as the window description has it).
#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_scale.h"

namespace hexloader {

// A font PixelHeight96 pixels high on a 96-dpi screen (the cell's character height), scaled.
TFontOwner WindowFont(int PixelHeight96, const TScale& Scale);

// Sets Font on Window and all of its child windows.
void SetFontOnTree(HWND Window, HFONT Font);

}  // namespace hexloader
