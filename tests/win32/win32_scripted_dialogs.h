#pragma once
// Scripted dialogs for the Win32 window tests: the file dialog dispatches the thread's waiting messages.
#include "tests/ui/scripted_dialogs_base.h"

namespace hexloader::test {

class TWin32ScriptedDialogs final : public TScriptedDialogsBase {
 protected:
  bool IsVisible(TDialogParent Parent) const override;
  void RunPendingEvents() override;
};

}  // namespace hexloader::test
