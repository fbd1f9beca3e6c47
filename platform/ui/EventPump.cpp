#include "platform/ui/EventPump.h"

#include "platform/ui/ProgressTarget.h"

#include <QCoreApplication>

namespace ui {
namespace {

void pumpEvents() {
    if (pendingEventsAllowed() && QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

void installEventPump() { setPendingEventsHook(&pumpEvents); }

}  // namespace ui
