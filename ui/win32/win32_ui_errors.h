#pragma once
// The Win32 user-interface layer's failures, built in one place: what failed, then the system's own
// text and code for it (read with GetLastError at the failing call).
#include <string>

namespace hexloader {

namespace win32_ui_msg {
inline constexpr const char* DispatcherWindow = "Не удалось создать окно очереди вызовов";
inline constexpr const char* DispatcherPost = "Не удалось передать вызов в поток окна";
inline constexpr const char* DispatcherGone = "Очередь вызовов окна уже закрыта";
inline constexpr const char* TimerStart = "Не удалось запустить таймер";
inline constexpr const char* MessageDialog = "Не удалось показать сообщение";
inline constexpr const char* ErrorBox = "Не удалось показать окно ошибки";
inline constexpr const char* OpenDialog = "Не удалось открыть окно выбора файла";
// The main window and its controls.
inline constexpr const char* CreateWindow = "Не удалось создать окно";
inline constexpr const char* RegisterClass = "Не удалось зарегистрировать класс окна";
inline constexpr const char* Font = "Не удалось создать шрифт";
inline constexpr const char* Images = "Не удалось загрузить изображения кнопок";
inline constexpr const char* PortMenu = "Не удалось построить меню порта";
inline constexpr const char* Logo = "Не удалось прочитать логотип";
inline constexpr const char* Keys = "Не удалось назначить клавиши команд";
}  // namespace win32_ui_msg

// Raises hexloader::Exception "What: <system text> (<Code>)"; a Code of 0 leaves the system part out.
[[noreturn]] void RaiseWin32UiError(const std::string& What, unsigned long Code);

}  // namespace hexloader
