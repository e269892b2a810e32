#pragma once
// What the window's rules (TMainWindowRules) need of a toolkit's widgets. The Qt window and the Win32
// window each implement this and nothing more; every call comes on the user-interface thread. As the
// session's view it also shows the upload (progress, animation, the commands, the prompt, messages).
#include <optional>
#include <string>
#include <vector>

#include "ui/dialogs.h"
#include "upload/upload_view.h"

namespace hexloader {

class TWindowFace : public TUploadView {
 public:
  // The main window's caption (UTF-8; empty is shown empty).
  virtual void SetCaption(const std::string& Text) = 0;
  // The status bar's port pane: the port's name, the pane as wide as the name needs.
  virtual void SetPortPaneCaption(const std::string& Name) = 0;
  // ABegin alone (a file has been chosen).
  virtual void SetBeginEnabled(bool Enabled) = 0;
  // The Port menu's items, in this order; a click on one runs TMainWindowRules::PortMenuClick with
  // the same name. The face shows each name exactly (no accelerator marks), the item named Current
  // (the port in use; empty: none) checked.
  virtual void SetPortMenuItems(const std::vector<std::string>& Names, const std::string& Current) = 0;
  // The file-open dialog through TDialogs: over the main window once it is shown, alone before that.
  virtual std::optional<std::string> AskOpenFile(const TOpenDialogRequest& Request) = 0;
  // Posts the window's own message to itself (WM_USER + 1 on Windows); its handler calls
  // TMainWindowRules::PendingMessageArrived once the event loop runs.
  virtual void PostPendingMessage() = 0;
  // Closes the main window, as its close box does; the face then calls TMainWindowRules::FormDestroy.
  virtual void CloseWindow() = 0;
};

}  // namespace hexloader
