#include "tests/ui/scripted_dialogs.h"

#include <QCoreApplication>
#include <QWidget>

namespace hexloader::test {

bool TScriptedDialogs::IsVisible(TDialogParent Parent) const { return static_cast<QWidget*>(Parent)->isVisible(); }

void TScriptedDialogs::RunPendingEvents() { QCoreApplication::processEvents(); }

}  // namespace hexloader::test
