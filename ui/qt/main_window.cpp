#include "ui/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

#include "ui/app_texts.h"
#include "ui/guarded.h"
#include "ui/qt/app_font.h"
#include "ui/qt/app_icons.h"
#include "ui/qt/copy_animation.h"
#include "ui/qt/logo_picture.h"
#include "ui/qt/native_title.h"
#include "ui/qt/power_prompt.h"
#include "ui/qt/progress_bar.h"
#include "ui/qt/status_bar.h"
#include "ui/qt/status_pane.h"
#include "ui/qt/window_frame.h"

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

}  // namespace

TForm1::TForm1(TDialogs& Dialogs, TForm1Options Options) : Dialogs_(Dialogs), Rules_(*this, std::move(Options)) {
  BuildControls();
  Rules_.FormCreate();
  Form2_ = new TForm2(this);
}

TForm1::~TForm1() { Rules_.FormDestroy(); }

void TForm1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(texts::StoredCaption));
  KeepEmptyTitleEmpty(*this);  // no file known: the caption is empty
  setFont(WindowFont(11));
  setWindowFlags(FixedDialogFrame(Qt::Window, true));
  setFixedSize(344, 128);
  setAutoFillBackground(true);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    KeepFrameCentred(*this, [screen] { return screen->availableGeometry(); });

  auto makeAction = [this](const char* Caption, const char* Hint, const QIcon& Icon,
                           void (TMainWindowRules::*Execute)() noexcept) {
    auto* action = new QAction(Icon, QString::fromUtf8(Caption), this);
    action->setToolTip(QString::fromUtf8(Hint));
    action->setStatusTip(QString::fromUtf8(Hint));
    connect(action, &QAction::triggered, this, [this, Execute] { (Rules_.*Execute)(); });
    return action;
  };
  AExit_ = makeAction(texts::ExitCaption, texts::ExitHint, icons::Exit(), &TMainWindowRules::AExitExecute);
  ASelectFile_ = makeAction(texts::SelectFileCaption, texts::SelectFileHint, icons::SelectFile(),
                            &TMainWindowRules::ASelectFileExecute);
  ABegin_ = makeAction(texts::BeginCaption, texts::BeginHint, icons::Begin(), &TMainWindowRules::ABeginExecute);
  AChangeComPort_ =
      makeAction(texts::ChangeComPortCaption, texts::PortHint, icons::Port(), &TMainWindowRules::AChangeComPortExecute);

  Toolbar1_ = new QWidget(this);
  Toolbar1_->setGeometry(0, 0, 344, 29);
  MakeToolButton(Toolbar1_, 4, 25)->setDefaultAction(ASelectFile_);
  ToolButton2_ = MakeToolButton(Toolbar1_, 29, 39);
  ToolButton2_->setText(QString::fromUtf8(texts::PortCaption));
  ToolButton2_->setToolTip(QString::fromUtf8(texts::PortHint));
  ToolButton2_->setIcon(icons::Port());
  ToolButton2_->setPopupMode(QToolButton::InstantPopup);
  PortMenu_ = new QMenu(this);
  ToolButton2_->setMenu(PortMenu_);
  // Filled anew each time it opens, so that an adapter plugged in after start-up can be chosen.
  connect(PortMenu_, &QMenu::aboutToShow, this, [this] { Rules_.PortMenuOpening(); });
  MakeToolButton(Toolbar1_, 68, 25)->setDefaultAction(ABegin_);
  MakeToolButton(Toolbar1_, 93, 25)->setDefaultAction(AExit_);

  // The keys, for work without the mouse; a command disabled for the mouse is disabled for its key too.
  // Alt+F4 closes the window as its close box does.
  ASelectFile_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  ABegin_->setShortcut(QKeySequence(Qt::Key_F5));
  auto* portKey = new QShortcut(QKeySequence(Qt::Key_F4), this);
  connect(portKey, &QShortcut::activated, this, [this] {
    if (ToolButton2_->isEnabled()) ToolButton2_->showMenu();
  });

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

void TForm1::SetCaption(const std::string& Text) { setWindowTitle(FromLocal(Text)); }

void TForm1::SetPortPaneCaption(const std::string& Name) { PortStatusPane_->SetCaption(FromLocal(Name)); }

void TForm1::SetBeginEnabled(bool Enabled) { ABegin_->setEnabled(Enabled); }

void TForm1::SetPortMenuItems(const std::vector<std::string>& Names, const std::string& Current) {
  PortMenu_->clear();
  for (const std::string& name : Names) {
    // "&" would mark an accelerator: doubled, the caption shows the name exactly.
    QString caption = FromLocal(name);
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* item = PortMenu_->addAction(icons::PortItem(), caption);
    item->setData(QByteArray::fromStdString(name));
    item->setCheckable(true);
    item->setChecked(name == Current);
    // With an icon, the style marks a checked item only by a frame round the icon: bold says it plainly.
    if (name == Current) {
      QFont font = item->font();
      font.setBold(true);
      item->setFont(font);
    }
    connect(item, &QAction::triggered, this, [this, name] { Rules_.PortMenuClick(name); });
  }
}

std::optional<std::string> TForm1::AskOpenFile(const TOpenDialogRequest& Request) {
  return Dialogs_.AskOpenFile(isVisible() ? this : nullptr, Request);
}

void TForm1::PostPendingMessage() { QCoreApplication::postEvent(this, new QEvent(ShowPendingMessageEvent)); }

void TForm1::CloseWindow() { close(); }

bool TForm1::event(QEvent* Event) {
  if (Event->type() == ShowPendingMessageEvent) {
    Rules_.PendingMessageArrived();
    return true;
  }
  return QWidget::event(Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
  // The window closing ends the program: release what the session holds and close the port now.
  Rules_.FormDestroy();
  Event->accept();
  emit Closed();
}

void TForm1::SetProgressTotalParts(std::uint32_t TotalParts) { ProgressBar1_->SetTotalParts(TotalParts); }
void TForm1::SetProgressPartsComplete(std::uint32_t PartsComplete) { ProgressBar1_->SetPartsComplete(PartsComplete); }
void TForm1::SetProgressVisible(bool Visible) { ProgressBar1_->setVisible(Visible); }
void TForm1::SetAnimationVisible(bool Visible) { Animate1_->setVisible(Visible); }
void TForm1::SetAnimationActive(bool Active) { Animate1_->SetActive(Active); }

void TForm1::SetUploadCommandsEnabled(bool Enabled) {
  ABegin_->setEnabled(Enabled);
  ASelectFile_->setEnabled(Enabled);
  ToolButton2_->setEnabled(Enabled);
}

void TForm1::ShowPowerOnPrompt() { Form2_->ShowCentred(); }
void TForm1::HidePowerOnPrompt() {
  if (Form2_) Form2_->hide();
}
void TForm1::ShowMessage(const std::string& Text) { Dialogs_.ShowMessage(Text); }

}  // namespace hexloader
