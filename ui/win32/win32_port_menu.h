#pragma once
// The Port menu on Windows: a pop-up menu built anew from the port names each time it opens, one item
// per name with the port image, the caption exactly the name (an "&" is doubled, so it marks no
// accelerator), the port in use checked. Item N has the command id win32_commands::PortMenuFirst + N.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_scale.h"

namespace hexloader {

class TWin32PortMenu {
 public:
  explicit TWin32PortMenu(const TScale& Scale);

  // Shows the menu with Names below the rectangle Below (screen pixels, usually the Port button),
  // owned by Owner, the item named Checked checked, and returns the index of the item chosen (a click,
  // or the arrows and Enter), or nothing when the menu was closed.
  std::optional<std::size_t> Track(HWND Owner, const RECT& Below, const std::vector<std::string>& Names,
                                   const std::string& Checked);

  // The owner's WM_MEASUREITEM and WM_DRAWITEM for the items' image; true when the message was the
  // menu's.
  bool OnMeasureItem(MEASUREITEMSTRUCT& Item) const;
  bool OnDrawItem(const DRAWITEMSTRUCT& Item) const;

 private:
  int ImageSize_;
  TIconOwner Image_;
};

}  // namespace hexloader
