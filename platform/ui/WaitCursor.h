// Shows the wait cursor for the lifetime of the object; the normal pointer comes back on every
// way out of long work. The cursor (and the repaint of a dialog just closed) reaches the screen
// before the work starts: pending events other than user input are let run once.
#pragma once

#include <QApplication>
#include <QCursor>

namespace ui {

class WaitCursor {
public:
    WaitCursor() {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace ui
