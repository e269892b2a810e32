#pragma once
// The frame of the program's fixed-size windows: which buttons the frame has, and centring by the
// whole frame (title bar included) rather than by the client area.
#include <QRect>
#include <QWidget>
#include <functional>

namespace hexloader {

// A fixed dialog border: title and close button only (Minimize adds the minimize button, which the
// main window keeps); never a maximize button, the window's size is fixed. Type: Qt::Window or Qt::Dialog.
Qt::WindowFlags FixedDialogFrame(Qt::WindowType Type, bool Minimize);

// Centres Window's frame in the rectangle Area gives, now and again once the window manager has put
// its frame around it (the frame's size is only known then); moves by the operator are left alone.
void KeepFrameCentred(QWidget& Window, std::function<QRect()> Area);

// Centres Window's frame in Area now, by the frame size known so far.
void CentreFrame(QWidget& Window, const QRect& Area);

}  // namespace hexloader
