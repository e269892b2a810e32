#include "ui/win32/win32_port_menu.h"

#include "core/wide_text_win32.h"
#include "ui/win32/resources/resource_ids.h"
#include "ui/win32/win32_checked_handle.h"
#include "ui/win32/win32_commands.h"

namespace hexloader {
namespace {

// A menu caption shows "&" only when it is doubled.
std::wstring MenuCaption(const std::string& Name) {
  std::wstring caption;
  for (const wchar_t c : WideFromUtf8(Name)) {
    if (c == L'&') caption += L'&';
    caption += c;
  }
  return caption;
}

bool IsPortItem(UINT ControlType, UINT ItemId) {
  return ControlType == ODT_MENU && ItemId >= static_cast<UINT>(win32_commands::PortMenuFirst);
}

}  // namespace

TWin32PortMenu::TWin32PortMenu(const TScale& Scale) : ImageSize_(Scale.Px(16)) {
  Image_.reset(static_cast<HICON>(
      CheckedHandle(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(HEXLOADER_ICON_PORT_ITEM), IMAGE_ICON,
                                 ImageSize_, ImageSize_, 0),
                    win32_ui_msg::Images)));
}

std::optional<std::size_t> TWin32PortMenu::Track(HWND Owner, const RECT& Below, const std::vector<std::string>& Names,
                                                 const std::string& Checked) {
  const TMenuOwner menu(CheckedHandle(::CreatePopupMenu(), win32_ui_msg::PortMenu));
  for (std::size_t i = 0; i < Names.size(); ++i) {
    const std::wstring caption = MenuCaption(Names[i]);
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_STATE;
    item.wID = static_cast<UINT>(win32_commands::PortMenuFirst + i);
    item.fState = Names[i] == Checked ? MFS_CHECKED : MFS_UNCHECKED;
    item.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    // Drawn by the owner (WM_DRAWITEM): an icon with its alpha channel, at the screen's scale.
    item.hbmpItem = HBMMENU_CALLBACK;
    if (!::InsertMenuItemW(menu.get(), static_cast<UINT>(i), TRUE, &item))
      RaiseWin32UiError(win32_ui_msg::PortMenu, ::GetLastError());
  }
  TPMPARAMS keepClear{};
  keepClear.cbSize = sizeof keepClear;
  keepClear.rcExclude = Below;
  const UINT chosen =
      static_cast<UINT>(::TrackPopupMenuEx(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_VERTICAL,
                                           Below.left, Below.bottom, Owner, &keepClear));
  if (chosen < static_cast<UINT>(win32_commands::PortMenuFirst)) return std::nullopt;
  const std::size_t index = chosen - win32_commands::PortMenuFirst;
  if (index >= Names.size()) return std::nullopt;
  return index;
}

bool TWin32PortMenu::OnMeasureItem(MEASUREITEMSTRUCT& Item) const {
  if (!IsPortItem(Item.CtlType, Item.itemID)) return false;
  Item.itemWidth = static_cast<UINT>(ImageSize_);
  Item.itemHeight = static_cast<UINT>(ImageSize_);
  return true;
}

bool TWin32PortMenu::OnDrawItem(const DRAWITEMSTRUCT& Item) const {
  if (!IsPortItem(Item.CtlType, Item.itemID)) return false;
  const int top = Item.rcItem.top + (Item.rcItem.bottom - Item.rcItem.top - ImageSize_) / 2;
  ::DrawIconEx(Item.hDC, Item.rcItem.left, top, Image_.get(), ImageSize_, ImageSize_, 0, nullptr, DI_NORMAL);
  return true;
}

}  // namespace hexloader
