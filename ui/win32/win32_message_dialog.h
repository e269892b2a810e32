#pragma once
// The plain message dialog on Win32: a modal dialog with the application title as caption, the text
// word-wrapped to at most half the screen's width, no icon and one "OK" button that is both default
// (Enter) and cancel (Esc, the close box), centred on the screen. Built from an in-memory template
// without controls; the text and the button are laid out in pixels from the text's measured size.
#include <windows.h>

#include <string>

namespace hexloader {

// The text's control in the dialog (the button is IDOK), for the tests that read the dialog back.
inline constexpr int MessageDialogTextId = 1001;

// Shows Text (UTF-8) over Owner (null: no owner) and returns once the operator has closed it. Raises
// hexloader::Exception when the dialog cannot be made.
void ShowMessageDialog(HWND Owner, const std::string& Text);

}  // namespace hexloader
