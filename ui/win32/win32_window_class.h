#pragma once
// Window classes of our own: one procedure per class, which hands each message to the C++ object that
// made the window. The object's pointer travels in CreateWindowExW's last parameter and is kept in the
// window's user data; every message runs inside the central exception display, so no exception ever
// unwinds into the system's code.
#include <windows.h>

namespace hexloader {

class TWindowProcedureTarget {
 public:
  // One message of the window; the default answer is DefWindowProcW's.
  virtual LRESULT HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) = 0;

 protected:
  ~TWindowProcedureTarget() = default;
};

struct TWindowClassLook {
  HBRUSH Background = nullptr;  // a system colour brush (COLOR_x + 1) or null
  HICON Icon = nullptr;         // large and small icon; null for none
  UINT Style = 0;               // CS_ flags
};

// Registers the class Name once per process.
void RegisterTargetClass(const wchar_t* Name, const TWindowClassLook& Look);

// CreateWindowExW for a window of a class registered above, whose messages go to Target from its
// first one on; raises when the window cannot be created.
HWND CreateTargetWindow(TWindowProcedureTarget& Target, DWORD ExStyle, const wchar_t* ClassName, const wchar_t* Title,
                        DWORD Style, int Left, int Top, int Width, int Height, HWND Parent);

}  // namespace hexloader
