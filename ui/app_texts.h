#pragma once
// The program's own texts, in one place.
namespace hexloader::texts {

inline constexpr const char* ApplicationTitle = "Кварсел - Загрузчик";
inline constexpr const char* StoredCaption = "Кварсел";

inline constexpr const char* ExitCaption = "Выход";
inline constexpr const char* ExitHint = "Выход";
inline constexpr const char* SelectFileCaption = "Файл";
inline constexpr const char* SelectFileHint = "Выбор файла для загрузки";
inline constexpr const char* BeginCaption = "Старт";
inline constexpr const char* BeginHint = "Начать загрузку";
inline constexpr const char* ChangeComPortCaption = "AChangeComPort";
inline constexpr const char* PortCaption = "Порт";
inline constexpr const char* PortHint = "Выбрать последовательный порт";

inline constexpr const char* OpenDialogTitle = "Выбери файл (*.hex) для загрузки";
inline constexpr const char* OpenDialogFilterName = "HexFiles";
inline constexpr const char* OpenDialogFilterPattern = "*.hex";
inline constexpr const char* OpenDialogDefaultExt = "hex";

inline constexpr const char* FileNameWithLineBreak =
    "Имя файла содержит перевод строки и не может быть сохранено в настройках";
inline constexpr const char* PortNotDefined = "Последовательный порт не определен";
inline constexpr const char* OkButton = "OK";

// Settings kept between runs.
inline constexpr const char* PortSection = "PortName";
inline constexpr const char* FileSection = "FileName";
inline constexpr const char* NameKey = "Name";
inline constexpr const char* DefaultPortName = "COM1";

}  // namespace hexloader::texts
