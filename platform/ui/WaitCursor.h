// Shows the wait cursor for the lifetime of the object; the normal pointer comes back on every
// way out of long work.
#pragma once

#include <QApplication>
#include <QCursor>

namespace ui {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace ui
