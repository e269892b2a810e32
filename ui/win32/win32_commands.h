#pragma once
// The main window's command identifiers: the toolbar's buttons and the Port menu's items send them in
// WM_COMMAND, and a test sends them the same way.
namespace hexloader::win32_commands {

inline constexpr int ASelectFile = 101;
inline constexpr int ToolButton2 = 102;  // the Port drop-down button
inline constexpr int ABegin = 103;
inline constexpr int AExit = 104;
// The Port menu's item N (0-based, in the menu's order) is PortMenuFirst + N.
inline constexpr int PortMenuFirst = 1000;

}  // namespace hexloader::win32_commands
