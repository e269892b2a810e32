#pragma once
// Small owners for the Win32 handles of the window: each frees its handle with the call that matches
// how it was made, once, when the owner goes.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <type_traits>

namespace hexloader {

struct TGdiObjectDeleter {
  void operator()(void* Object) const { ::DeleteObject(static_cast<HGDIOBJ>(Object)); }
};
struct TImageListDeleter {
  void operator()(_IMAGELIST* List) const { ::ImageList_Destroy(List); }
};
struct TMenuDeleter {
  void operator()(HMENU__* Menu) const { ::DestroyMenu(Menu); }
};
struct TIconDeleter {
  void operator()(HICON__* Icon) const { ::DestroyIcon(Icon); }
};
struct TAcceleratorDeleter {
  void operator()(HACCEL__* Table) const { ::DestroyAcceleratorTable(Table); }
};

using TFontOwner = std::unique_ptr<std::remove_pointer_t<HFONT>, TGdiObjectDeleter>;
using TBitmapOwner = std::unique_ptr<std::remove_pointer_t<HBITMAP>, TGdiObjectDeleter>;
using TBrushOwner = std::unique_ptr<std::remove_pointer_t<HBRUSH>, TGdiObjectDeleter>;
using TImageListOwner = std::unique_ptr<_IMAGELIST, TImageListDeleter>;
using TMenuOwner = std::unique_ptr<HMENU__, TMenuDeleter>;
using TIconOwner = std::unique_ptr<HICON__, TIconDeleter>;
using TAcceleratorOwner = std::unique_ptr<HACCEL__, TAcceleratorDeleter>;

}  // namespace hexloader
