#pragma once
// An empty window title that stays empty where the window system shows it. Qt puts the application's
// name in place of an empty title; a window whose caption must be empty asks for this once.
class QWidget;

namespace hexloader {

// From now on, whenever Window's title is empty, its native window carries an empty title too (after
// the native window is made and after every title change).
void KeepEmptyTitleEmpty(QWidget& Window);

// The platform part: clears the title of Window's native window, if it has one. Does nothing on a
// window system without titles (the offscreen platform of the tests).
void ClearNativeTitle(QWidget& Window);

}  // namespace hexloader
