#include "ui/main_window_rules.h"

#include <filesystem>

#include "core/path_separators.h"
#include "core/ui_dispatcher.h"
#include "core/utf8_path.h"
#include "image/hex_to_bin.h"
#include "serial/enum_com_ports.h"
#include "ui/app_texts.h"
#include "ui/guarded.h"
#include "ui/hex_file_choice.h"
#include "ui/settings/folder_access.h"
#include "ui/settings/profile_file.h"
#include "ui/settings/settings_location.h"
#include "ui/window_face.h"
#include "upload/loader_line_settings.h"
#include "upload/reply_timeout.h"

namespace hexloader {
namespace {

// A file exists at Path: a file, not a folder.
bool FileExists(const std::string& Path) {
  std::error_code error;
  const std::filesystem::path path = PathFromUtf8(Path);
  return !Path.empty() && std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error);
}

}  // namespace

TMainWindowRules::TMainWindowRules(TWindowFace& Face, TForm1Options Options)
    : Face_(Face),
      Options_(std::move(Options)),
      Port_(SerialComm1_),
      Session_(Port_, Face, [](const std::string& HexPath) { return HexToBin(HexPath); }) {
  if (!Options_.EnumPorts) Options_.EnumPorts = [] { return EnumComPorts(); };
  if (!Options_.IniPath.empty()) RegIniFile1_.SetPath(Options_.IniPath);
  ApplyLoaderLineSettings(SerialComm1_);
  SerialComm1_.SetOnRxChar([this](TSerialCustomComm&, int Count) { SerialComm1RxChar(Count); });
  // The component has closed itself and shows why; the session only has to end.
  SerialComm1_.SetOnDeviceLost([this](TSerialCustomComm&) { Session_.PortLost(); });
}

TMainWindowRules::~TMainWindowRules() { FormDestroy(); }

// The steps run in order; an exception ends FormCreate at its step (the caption then stays the stored one)
// and reaches the central display once.
void TMainWindowRules::FormCreate() noexcept {
  Guarded([this] {
    MoveToWritableFolder();
    FillPortMenu();
    RestorePort();
    RestoreFile();
    SetCaptionFromFile();
  });
}

void TMainWindowRules::MoveToWritableFolder() {
  const std::string settings = RegIniFile1_.IniFileName();
  const std::string folder = CurrentWorkingFolderMove(settings);
  // A folder that cannot be made or entered leaves the window where it is: Start then says why it
  // cannot write there.
  if (!folder.empty() && CreateProfileFolder(settings)) ChangeCurrentFolder(folder);
}

void TMainWindowRules::SetCaptionFromFile() {
  const std::string& path = Session_.HexFileName();
  const std::size_t separator = path.find_last_of(PathSeparators());
  Face_.SetCaption(separator == std::string::npos ? path : path.substr(separator + 1));
}

void TMainWindowRules::FillPortMenu() {
  std::vector<std::string> names = Options_.EnumPorts();
  SortPortNames(names);
  PortMenuNames_ = std::move(names);
  Face_.SetPortMenuItems(PortMenuNames_, PortInUse_);
}

void TMainWindowRules::RestorePort() {
  if (RegIniFile1_.HasSection(texts::PortSection)) {
    const std::string name = RegIniFile1_.ReadValue(texts::PortSection, texts::NameKey, texts::DefaultPortName);
    for (const std::string& item : PortMenuNames_) {
      if (item == name) {
        SerialComm1_.SetDeviceName(name);
        ShowPortInUse(name);
        return;
      }
    }
  }
  ChangeComPort();
}

void TMainWindowRules::ShowPortInUse(const std::string& Name) {
  Face_.SetPortPaneCaption(Name);
  PortInUse_ = Name;  // checked in the Port menu when it opens next
}

void TMainWindowRules::RestoreFile() {
  if (RegIniFile1_.HasSection(texts::FileSection)) {
    const std::string path = RegIniFile1_.ReadValue(texts::FileSection, texts::NameKey, "");
    if (FileExists(path)) {
      Session_.SetHexFileName(path);
      Face_.SetBeginEnabled(true);
      return;
    }
  }
  // Run directly, not through the command (which shows its own failures): a failure here ends FormCreate.
  SelectFile();
}

void TMainWindowRules::SelectFile() {
  const TOpenDialogRequest request{texts::OpenDialogTitle, texts::OpenDialogFilterName, texts::OpenDialogFilterPattern,
                                   texts::OpenDialogDefaultExt};
  const std::optional<std::string> path = Face_.AskOpenFile(request);
  if (!path) return;
  CheckStorableHexFileName(*path);
  // The caption keeps the name it got at start-up.
  Session_.SetHexFileName(*path);
  RegIniFile1_.WriteValue(texts::FileSection, texts::NameKey, *path);
  Face_.SetBeginEnabled(true);
}

void TMainWindowRules::ChangeComPort() {
  PendingMessage_ = texts::PortNotDefined;
  Face_.PostPendingMessage();
}

void TMainWindowRules::Begin() {
  if (SerialComm1_.DeviceName() == UnchosenDeviceName) return;  // nothing at all, not even a settings read
  // Read at each Start, so an edited settings file needs no restart.
  Session_.SetReplyTimeoutMs(ReplyTimeoutMsFromSetting(RegIniFile1_.ReadValue(UploadSection, ReplyTimeoutKey, "")));
  ApplyBaudRateSetting(SerialComm1_, RegIniFile1_.ReadValue(UploadSection, BaudRateKey, ""));
  Session_.Start();
  // Needed from the hello on; the port that Start opened has already required the dispatcher.
  if (!Session_.HasReplyTimer()) Session_.SetReplyTimer(UiDispatcher().CreateTimer());
}

void TMainWindowRules::SerialComm1RxChar(int Count) {
  Guarded([&] { Session_.OnRxChar(Count); });
}

void TMainWindowRules::ASelectFileExecute() noexcept {
  Guarded([this] { SelectFile(); });
}
void TMainWindowRules::ABeginExecute() noexcept {
  Guarded([this] { Begin(); });
}
void TMainWindowRules::AExitExecute() noexcept {
  Guarded([this] { Face_.CloseWindow(); });
}
void TMainWindowRules::AChangeComPortExecute() noexcept {
  Guarded([this] { ChangeComPort(); });
}
void TMainWindowRules::PortMenuOpening() noexcept {
  Guarded([this] { FillPortMenu(); });
}

void TMainWindowRules::PortMenuClick(const std::string& Name) noexcept {
  Guarded([&] {
    if (SerialComm1_.IsOpen()) SerialComm1_.Close();
    SerialComm1_.SetDeviceName(Name);
    // Only a port that opened reaches the pane and the settings.
    SerialComm1_.Open();
    ShowPortInUse(Name);
    RegIniFile1_.WriteValue(texts::PortSection, texts::NameKey, SerialComm1_.DeviceName());
  });
}

void TMainWindowRules::PendingMessageArrived() noexcept {
  Guarded([this] {
    const std::string text = PendingMessage_;
    Face_.ShowMessage(text);
    PendingMessage_.clear();
  });
}

void TMainWindowRules::FormDestroy() noexcept {
  if (Destroyed_) return;
  Destroyed_ = true;
  Session_.ReleaseImage();
  Session_.SetReplyTimer(nullptr);  // no "Устройство не отвечает" over a closed window
  Guarded([this] {
    Face_.HidePowerOnPrompt();
    Face_.SetAnimationActive(false);
  });
  Guarded([this] {
    if (SerialComm1_.IsOpen()) SerialComm1_.Close();
  });
}

}  // namespace hexloader
