#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>
#include <filesystem>

#include "core/ui_dispatcher.h"
#include "image/hex_to_bin.h"
#include "serial/enum_com_ports.h"
#include "ui/app_font.h"
#include "ui/app_icons.h"
#include "ui/app_texts.h"
#include "ui/copy_animation.h"
#include "ui/dialogs.h"
#include "ui/guarded.h"
#include "ui/logo_picture.h"
#include "ui/power_prompt.h"
#include "ui/progress_bar.h"
#include "ui/status_bar.h"
#include "ui/status_pane.h"
#include "upload/loader_line_settings.h"
#include "upload/reply_timeout.h"

namespace hexloader {
namespace {

// The window message the window posts to itself to show PendingMessage once an event loop runs.
const QEvent::Type ShowPendingMessageEvent = static_cast<QEvent::Type>(QEvent::User + 1);

QString FromLocal(const std::string& Text) { return QFile::decodeName(QByteArray::fromStdString(Text)); }

QToolButton* MakeToolButton(QWidget* Parent, int Left, int Width) {
  auto* button = new QToolButton(Parent);
  button->setGeometry(Left, 2, Width, 25);
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button->setIconSize(QSize(16, 16));
  button->setAutoRaise(true);
  return button;
}

// A file exists at Path: a file, not a folder.
bool FileExists(const std::string& Path) {
  std::error_code error;
  return !Path.empty() && std::filesystem::exists(Path, error) && !std::filesystem::is_directory(Path, error);
}

}  // namespace

TForm1::TForm1(TDialogs& Dialogs, TForm1Options Options)
    : Dialogs_(Dialogs),
      Options_(std::move(Options)),
      Port_(SerialComm1_),
      Session_(Port_, *this, [](const std::string& HexPath) { return HexToBin(HexPath); }) {
  if (!Options_.EnumPorts) Options_.EnumPorts = [] { return EnumComPorts(); };
  if (!Options_.IniPath.empty()) RegIniFile1_.SetPath(Options_.IniPath);
  ApplyLoaderLineSettings(SerialComm1_);
  SerialComm1_.SetOnRxChar([this](TSerialCustomComm&, int Count) { SerialComm1RxChar(Count); });
  // The component has closed itself and shows why; the session only has to end.
  SerialComm1_.SetOnDeviceLost([this](TSerialCustomComm&) { Session_.PortLost(); });

  BuildControls();
  Guarded([this] { FormCreate(); });
  Form2_ = new TForm2(this);
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(texts::StoredCaption));
  setFont(WindowFont(11));
  setFixedSize(344, 128);
  setAutoFillBackground(true);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

  auto makeAction = [this](const char* Caption, const char* Hint, const QIcon& Icon, void (TForm1::*Execute)()) {
    auto* action = new QAction(Icon, QString::fromUtf8(Caption), this);
    action->setToolTip(QString::fromUtf8(Hint));
    action->setStatusTip(QString::fromUtf8(Hint));
    connect(action, &QAction::triggered, this, [this, Execute] { Guarded([this, Execute] { (this->*Execute)(); }); });
    return action;
  };
  AExit_ = makeAction(texts::ExitCaption, texts::ExitHint, icons::Exit(), &TForm1::AExitExecute);
  ASelectFile_ = makeAction(texts::SelectFileCaption, texts::SelectFileHint, icons::SelectFile(),
                            &TForm1::ASelectFileExecute);
  ABegin_ = makeAction(texts::BeginCaption, texts::BeginHint, icons::Begin(), &TForm1::ABeginExecute);
  AChangeComPort_ = makeAction(texts::ChangeComPortCaption, texts::PortHint, icons::Port(),
                               &TForm1::AChangeComPortExecute);

  Toolbar1_ = new QWidget(this);
  Toolbar1_->setGeometry(0, 0, 344, 29);
  MakeToolButton(Toolbar1_, 4, 25)->setDefaultAction(ASelectFile_);
  ToolButton2_ = MakeToolButton(Toolbar1_, 29, 39);
  ToolButton2_->setText(QString::fromUtf8(texts::PortCaption));
  ToolButton2_->setToolTip(QString::fromUtf8(texts::PortHint));
  ToolButton2_->setIcon(icons::Port());
  ToolButton2_->setPopupMode(QToolButton::InstantPopup);
  MakeToolButton(Toolbar1_, 68, 25)->setDefaultAction(ABegin_);
  MakeToolButton(Toolbar1_, 93, 25)->setDefaultAction(AExit_);

  Animate1_ = new TAnimate(this);
  Animate1_->setGeometry(0, 29, 264, 80);
  Animate1_->hide();

  Image1_ = new QLabel(this);
  Image1_->setGeometry(264, 29, 80, 80);
  Guarded([this] { Image1_->setPixmap(QPixmap::fromImage(LogoPicture())); });

  StatusBar1_ = new TStatusBar(this);
  StatusBar1_->setGeometry(0, 109, 344, 19);
  PortStatusPane_ = new TStatusPane(StatusBar1_);
  ProgressBar1_ = new TProgressBar(StatusBar1_);
  ProgressBar1_->hide();
  StatusBar1_->Arrange(PortStatusPane_, ProgressBar1_);  // 47 + 293 until a port name needs more
}

void TForm1::FormCreate() {
  FillPortMenu();
  RestorePort();
  RestoreFile();
  SetCaptionFromFile();
}

void TForm1::SetCaptionFromFile() {
  const std::string& path = Session_.HexFileName();
  const std::size_t slash = path.rfind('/');
  setWindowTitle(FromLocal(slash == std::string::npos ? path : path.substr(slash + 1)));
}

void TForm1::FillPortMenu() {
  if (!PortMenu_) {
    PortMenu_ = new QMenu(this);
    ToolButton2_->setMenu(PortMenu_);
    // Filled anew each time it opens, so that an adapter plugged in after start-up can be chosen.
    connect(PortMenu_, &QMenu::aboutToShow, this, [this] { Guarded([this] { FillPortMenu(); }); });
  }
  PortMenu_->clear();
  std::vector<std::string> names = Options_.EnumPorts();
  SortPortNames(names);
  for (const std::string& name : names) {
    // "&" would mark an accelerator: doubled, the caption shows the name exactly.
    QString caption = FromLocal(name);
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* item = PortMenu_->addAction(icons::PortItem(), caption);
    item->setData(QByteArray::fromStdString(name));
    connect(item, &QAction::triggered, this, [this, name] { PortMenuClick(name); });
  }
}

void TForm1::RestorePort() {
  if (RegIniFile1_.HasSection(texts::PortSection)) {
    const std::string name = RegIniFile1_.ReadValue(texts::PortSection, texts::NameKey, texts::DefaultPortName);
    for (const QAction* item : PortMenu_->actions()) {
      if (item->data().toByteArray().toStdString() == name) {
        SerialComm1_.SetDeviceName(name);
        PortStatusPane_->SetCaption(FromLocal(name));
        return;
      }
    }
  }
  AChangeComPort_->trigger();
}

void TForm1::RestoreFile() {
  if (RegIniFile1_.HasSection(texts::FileSection)) {
    const std::string path = RegIniFile1_.ReadValue(texts::FileSection, texts::NameKey, "");
    if (FileExists(path)) {
      Session_.SetHexFileName(path);
      ABegin_->setEnabled(true);
      return;
    }
  }
  ASelectFile_->trigger();
}

void TForm1::ASelectFileExecute() {
  const TOpenDialogRequest request{texts::OpenDialogTitle, texts::OpenDialogFilterName, texts::OpenDialogFilterPattern,
                             texts::OpenDialogDefaultExt};
  const std::optional<std::string> path = Dialogs_.AskOpenFile(isVisible() ? this : nullptr, request);
  if (!path) return;
  // The caption keeps the name it got at start-up.
  Session_.SetHexFileName(*path);
  RegIniFile1_.WriteValue(texts::FileSection, texts::NameKey, *path);
  ABegin_->setEnabled(true);
}

void TForm1::AChangeComPortExecute() {
  PendingMessage_ = texts::PortNotDefined;
  QCoreApplication::postEvent(this, new QEvent(ShowPendingMessageEvent));
}

void TForm1::ShowPendingMessage() {
  const std::string text = PendingMessage_;
  Dialogs_.ShowMessage(text);
  PendingMessage_.clear();
}

void TForm1::PortMenuClick(const std::string& Name) {
  Guarded([&] {
    if (SerialComm1_.IsOpen()) SerialComm1_.Close();
    SerialComm1_.SetDeviceName(Name);
    // Only a port that opened reaches the pane and the settings.
    SerialComm1_.Open();
    PortStatusPane_->SetCaption(FromLocal(Name));
    RegIniFile1_.WriteValue(texts::PortSection, texts::NameKey, SerialComm1_.DeviceName());
  });
}

void TForm1::ABeginExecute() {
  if (SerialComm1_.DeviceName() == UnchosenDeviceName) return;  // nothing at all, not even a settings read
  // Read at each Start, so an edited settings file needs no restart.
  Session_.SetReplyTimeoutMs(ReplyTimeoutMsFromSetting(RegIniFile1_.ReadValue(UploadSection, ReplyTimeoutKey, "")));
  ApplyBaudRateSetting(SerialComm1_, RegIniFile1_.ReadValue(UploadSection, BaudRateKey, ""));
  Session_.Start();
  // Needed from the hello on; the port that Start opened has already required the dispatcher.
  if (!Session_.HasReplyTimer()) Session_.SetReplyTimer(UiDispatcher().CreateTimer());
}

void TForm1::AExitExecute() { close(); }

void TForm1::SerialComm1RxChar(int Count) {
  Guarded([&] { Session_.OnRxChar(Count); });
}

void TForm1::FormDestroy() {
  if (Destroyed_) return;
  Destroyed_ = true;
  Session_.ReleaseImage();
  Session_.SetReplyTimer(nullptr);  // no "Устройство не отвечает" over a closed window
  if (Form2_) Form2_->hide();
  Animate1_->SetActive(false);
  Guarded([this] {
    if (SerialComm1_.IsOpen()) SerialComm1_.Close();
  });
}

bool TForm1::event(QEvent* Event) {
  if (Event->type() == ShowPendingMessageEvent) {
    Guarded([this] { ShowPendingMessage(); });
    return true;
  }
  return QWidget::event(Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
  // The window closing ends the program: release what the session holds and close the port now.
  FormDestroy();
  Event->accept();
  emit Closed();
}

void TForm1::SetProgressTotalParts(std::uint32_t TotalParts) { ProgressBar1_->SetTotalParts(TotalParts); }
void TForm1::SetProgressPartsComplete(std::uint32_t PartsComplete) {
  ProgressBar1_->SetPartsComplete(PartsComplete);
}
void TForm1::SetProgressVisible(bool Visible) { ProgressBar1_->setVisible(Visible); }
void TForm1::SetAnimationVisible(bool Visible) { Animate1_->setVisible(Visible); }
void TForm1::SetAnimationActive(bool Active) { Animate1_->SetActive(Active); }

void TForm1::SetUploadCommandsEnabled(bool Enabled) {
  ABegin_->setEnabled(Enabled);
  ASelectFile_->setEnabled(Enabled);
  ToolButton2_->setEnabled(Enabled);
}

void TForm1::ShowPowerOnPrompt() { Form2_->ShowCentred(); }
void TForm1::HidePowerOnPrompt() { Form2_->hide(); }
void TForm1::ShowMessage(const std::string& Text) { Dialogs_.ShowMessage(Text); }

}  // namespace hexloader
