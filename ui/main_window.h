#pragma once
// Form1: the main window. It owns everything of the running program: the serial component
// SerialComm1, the settings store RegIniFile1, the indicators, the upload session with its image file,
// and the power-on prompt Form2. Everything here runs on the user-interface thread; every handler runs
// inside Guarded, so exceptions reach the central exception display.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/serial_comm.h"
#include "ui/settings/reg_ini_file.h"
#include "upload/serial_comm_port.h"
#include "upload/upload_session.h"
#include "upload/upload_view.h"

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

struct TForm1Options {
  // The serial ports present (unsorted); EnumComPorts by default.
  std::function<std::vector<std::string>()> EnumPorts;
  // The INI file; empty = named after the executable, beside it.
  std::string IniPath;
};

class TForm1 : public QWidget, private TUploadView {
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
  TSerialComm& SerialComm1() { return SerialComm1_; }
  TRegIniFile& RegIniFile1() { return RegIniFile1_; }
  const TUploadSession& Session() const { return Session_; }
  const std::string& HexFileName() const { return Session_.HexFileName(); }
  const std::string& PendingMessage() const { return PendingMessage_; }

  // Runs the Port menu item with this caption, as a click on it does.
  void PortMenuClick(const std::string& Name);

 signals:
  // The window has closed; the program ends.
  void Closed();

 protected:
  bool event(QEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildControls();
  void FormCreate();
  void FormDestroy();
  void FillPortMenu();
  void RestorePort();
  void RestoreFile();
  void ASelectFileExecute();
  void ABeginExecute();
  void AExitExecute();
  void AChangeComPortExecute();
  void ShowPendingMessage();
  void SerialComm1RxChar(int Count);
  void SetCaptionFromFile();

  // TUploadView
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
  TForm1Options Options_;

  TSerialComm SerialComm1_;
  TSerialCommPort Port_;
  TUploadSession Session_;
  TRegIniFile RegIniFile1_;
  std::string PendingMessage_;
  bool Destroyed_ = false;

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
