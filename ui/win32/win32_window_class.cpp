#include "ui/win32/win32_window_class.h"

#include "ui/guarded.h"
#include "ui/win32/win32_checked_handle.h"

namespace hexloader {
namespace {

LRESULT CALLBACK TargetProcedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    ::SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* target = reinterpret_cast<TWindowProcedureTarget*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (!target) return ::DefWindowProcW(Window, Message, WParam, LParam);
  if (Message == WM_NCDESTROY) ::SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
  LRESULT result = 0;
  Guarded([&] { result = target->HandleMessage(Window, Message, WParam, LParam); });
  return result;
}

}  // namespace

void RegisterTargetClass(const wchar_t* Name, const TWindowClassLook& Look) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, Name, &existing)) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = Look.Style;
  windowClass.lpfnWndProc = TargetProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = Look.Icon;
  windowClass.hIconSm = Look.Icon;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = Look.Background;
  windowClass.lpszClassName = Name;
  if (!::RegisterClassExW(&windowClass)) RaiseWin32UiError(win32_ui_msg::RegisterClass, ::GetLastError());
}

HWND CreateTargetWindow(TWindowProcedureTarget& Target, DWORD ExStyle, const wchar_t* ClassName, const wchar_t* Title,
                        DWORD Style, int Left, int Top, int Width, int Height, HWND Parent) {
  return CheckedHandle(::CreateWindowExW(ExStyle, ClassName, Title, Style, Left, Top, Width, Height, Parent, nullptr,
                                         ::GetModuleHandleW(nullptr), &Target),
                       win32_ui_msg::CreateWindow);
}

}  // namespace hexloader
