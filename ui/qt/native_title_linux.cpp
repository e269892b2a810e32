// X11: the title is in two properties, _NET_WM_NAME (UTF-8, read by window managers) and WM_NAME.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ui/qt/native_title.h"

namespace hexloader {
namespace {

xcb_atom_t Atom(xcb_connection_t* Connection, const char* Name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      Connection, xcb_intern_atom(Connection, 0, static_cast<std::uint16_t>(std::strlen(Name)), Name), nullptr);
  xcb_atom_t atom = XCB_ATOM_NONE;
  if (reply != nullptr) atom = reply->atom;
  std::free(reply);
  return atom;
}

}  // namespace

void ClearNativeTitle(QWidget& Window) {
  // The offscreen platform answers as X11 too, without a connection.
  const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  const WId id = Window.internalWinId();
  if (connection == nullptr || id == 0) return;  // not on X11, or no native window yet
  const auto window = static_cast<xcb_window_t>(id);
  const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, Atom(connection, "_NET_WM_NAME"), utf8, 8, 0, "");
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
  xcb_flush(connection);
}

}  // namespace hexloader
