#pragma once
// The main window's behaviour, written once for every toolkit: the start-up order (the Port menu, the
// port and file restored from the settings, the caption), the commands, the Port menu's click, the
// posted message and the destruction order. It owns the serial component SerialComm1, the upload session
// and the settings store RegIniFile1, and talks to the widgets only through TWindowFace.
//
// Everything runs on the user-interface thread. The entry points a face calls are its event handlers:
// each runs inside Guarded, so an exception reaches the central exception display and never the
// toolkit's event loop.
#include <functional>
#include <string>
#include <vector>

#include "serial/serial_comm.h"
#include "ui/settings/reg_ini_file.h"
#include "upload/serial_comm_port.h"
#include "upload/upload_session.h"

namespace hexloader {

class TWindowFace;

struct TForm1Options {
  // The serial ports present (unsorted); EnumComPorts by default.
  std::function<std::vector<std::string>()> EnumPorts;
  // The INI file; empty = named after the executable, beside it.
  std::string IniPath;
};

class TMainWindowRules {
 public:
  // Sets the components up; calls nothing of Face yet (the widgets may not exist). Face must outlive
  // the rules.
  TMainWindowRules(TWindowFace& Face, TForm1Options Options);
  // Runs FormDestroy if the face has not.
  ~TMainWindowRules();
  TMainWindowRules(const TMainWindowRules&) = delete;
  TMainWindowRules& operator=(const TMainWindowRules&) = delete;

  // Start-up, once the widgets exist and before the window is shown: moves to a folder the user may
  // write when the current one is not (or lies where programs are installed; settings_location.h),
  // fills the Port menu, restores the port and the file (asking for them when the settings do not name
  // one that is there) and sets the caption from the file's name. A failure ends it at its step and is
  // shown once.
  void FormCreate() noexcept;
  // The window is closing: releases the image, disarms the reply timer, hides the prompt, stops the
  // animation and closes the port. Runs once; later calls do nothing.
  void FormDestroy() noexcept;

  // The commands, as the toolbar runs them.
  void ASelectFileExecute() noexcept;
  void ABeginExecute() noexcept;
  void AExitExecute() noexcept;
  void AChangeComPortExecute() noexcept;
  // The Port menu is opening: its items are filled anew, so a port plugged in since shows.
  void PortMenuOpening() noexcept;
  // A click on the Port menu's item Name.
  void PortMenuClick(const std::string& Name) noexcept;
  // The message posted by PostPendingMessage has arrived: shows PendingMessage.
  void PendingMessageArrived() noexcept;

  TSerialComm& SerialComm1() { return SerialComm1_; }
  TRegIniFile& RegIniFile1() { return RegIniFile1_; }
  const TUploadSession& Session() const { return Session_; }
  const std::string& HexFileName() const { return Session_.HexFileName(); }
  const std::string& PendingMessage() const { return PendingMessage_; }
  // The Port menu's items as last filled, sorted.
  const std::vector<std::string>& PortMenuNames() const { return PortMenuNames_; }
  // The port the pane names (restored, or picked and opened), checked in the Port menu; empty: none.
  const std::string& PortInUse() const { return PortInUse_; }

 private:
  void MoveToWritableFolder();
  void FillPortMenu();
  void RestorePort();
  void RestoreFile();
  void ShowPortInUse(const std::string& Name);
  void SetCaptionFromFile();
  void SelectFile();
  void Begin();
  void ChangeComPort();
  void SerialComm1RxChar(int Count);

  TWindowFace& Face_;
  TForm1Options Options_;
  TSerialComm SerialComm1_;
  TSerialCommPort Port_;
  TUploadSession Session_;
  TRegIniFile RegIniFile1_;
  std::vector<std::string> PortMenuNames_;
  std::string PortInUse_;
  std::string PendingMessage_;
  bool Destroyed_ = false;
};

}  // namespace hexloader
