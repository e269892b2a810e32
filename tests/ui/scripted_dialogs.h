#pragma once
// Scripted dialogs for the Qt window tests: the file dialog runs Qt's pending events.
#include "tests/ui/scripted_dialogs_base.h"

namespace hexloader::test {

class TScriptedDialogs final : public TScriptedDialogsBase {
 protected:
  bool IsVisible(TDialogParent Parent) const override;
  void RunPendingEvents() override;
};

}  // namespace hexloader::test
