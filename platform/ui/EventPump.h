// The GUI's hook for ui::processPendingEvents: pending events of the application run, so that
// windows repaint and take input during long work, where a window allows it
// (ui::AllowPendingEvents). Installed by the windows that run long work.
#pragma once

namespace ui {

void installEventPump();

}  // namespace ui
