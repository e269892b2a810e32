#pragma once
// Form1 with Qt widgets: the main window's face. The rules (TMainWindowRules) own the serial component
// SerialComm1, the settings store RegIniFile1 and the upload session; this class owns the widgets and
// the power-on prompt Form2, and hands every event to the rules. Everything runs on the user-interface
// thread.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/main_window_rules.h"
#include "ui/window_face.h"

class QAction;
class QLabel;
class QMenu;
class QToolButton;

namespace hexloader {

class TAnimate;
class TDialogs;
class TForm2;
class TProgressBar;
class TStatusBar;
class TStatusPane;

class TForm1 : public QWidget, private TWindowFace {
  Q_OBJECT
 public:
  // Builds the window and runs FormCreate (which may show the file dialog before the window is
  // shown), then creates the hidden prompt Form2. Dialogs must outlive the window.
  explicit TForm1(TDialogs& Dialogs, TForm1Options Options = {});
  ~TForm1() override;

  // The commands, as the toolbar runs them.
  QAction* ASelectFile() const { return ASelectFile_; }
  QAction* ABegin() const { return ABegin_; }
  QAction* AExit() const { return AExit_; }
  QAction* AChangeComPort() const { return AChangeComPort_; }
  QToolButton* ToolButton2() const { return ToolButton2_; }
  QMenu* PortMenu() const { return PortMenu_; }
  TStatusPane* PortStatusPane() const { return PortStatusPane_; }
  TProgressBar* ProgressBar1() const { return ProgressBar1_; }
  TAnimate* Animate1() const { return Animate1_; }
  QLabel* Image1() const { return Image1_; }
  TForm2* Form2() const { return Form2_; }
  TSerialComm& SerialComm1() { return Rules_.SerialComm1(); }
  TRegIniFile& RegIniFile1() { return Rules_.RegIniFile1(); }
  const TUploadSession& Session() const { return Rules_.Session(); }
  const std::string& HexFileName() const { return Rules_.HexFileName(); }
  const std::string& PendingMessage() const { return Rules_.PendingMessage(); }

  // Runs the Port menu item with this caption, as a click on it does.
  void PortMenuClick(const std::string& Name) { Rules_.PortMenuClick(Name); }

 signals:
  // The window has closed; the program ends.
  void Closed();

 protected:
  bool event(QEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildControls();

  // TWindowFace
  void SetCaption(const std::string& Text) override;
  void SetPortPaneCaption(const std::string& Name) override;
  void SetBeginEnabled(bool Enabled) override;
  void SetPortMenuItems(const std::vector<std::string>& Names, const std::string& Current) override;
  std::optional<std::string> AskOpenFile(const TOpenDialogRequest& Request) override;
  void PostPendingMessage() override;
  void CloseWindow() override;
  void SetProgressTotalParts(std::uint32_t TotalParts) override;
  void SetProgressPartsComplete(std::uint32_t PartsComplete) override;
  void SetProgressVisible(bool Visible) override;
  void SetAnimationVisible(bool Visible) override;
  void SetAnimationActive(bool Active) override;
  void SetUploadCommandsEnabled(bool Enabled) override;
  void ShowPowerOnPrompt() override;
  void HidePowerOnPrompt() override;
  void ShowMessage(const std::string& Text) override;

  TDialogs& Dialogs_;
  TMainWindowRules Rules_;

  QAction* AExit_ = nullptr;
  QAction* ASelectFile_ = nullptr;
  QAction* ABegin_ = nullptr;
  QAction* AChangeComPort_ = nullptr;
  QWidget* Toolbar1_ = nullptr;
  QToolButton* ToolButton2_ = nullptr;
  QMenu* PortMenu_ = nullptr;
  QLabel* Image1_ = nullptr;
  TStatusBar* StatusBar1_ = nullptr;
  TStatusPane* PortStatusPane_ = nullptr;
  TProgressBar* ProgressBar1_ = nullptr;
  TAnimate* Animate1_ = nullptr;
  TForm2* Form2_ = nullptr;
};

}  // namespace hexloader
