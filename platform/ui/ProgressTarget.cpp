#include "platform/ui/ProgressTarget.h"

#include <algorithm>
#include <vector>

namespace ui {
namespace {
std::vector<ProgressTarget*>& targets() {
    static std::vector<ProgressTarget*> t;
    return t;
}
void (*eventsHook)() = nullptr;
}  // namespace

void registerProgressTarget(ProgressTarget* t) { activateProgressTarget(t); }

void activateProgressTarget(ProgressTarget* t) {
    if (!t) return;
    auto& v = targets();
    v.erase(std::remove(v.begin(), v.end(), t), v.end());
    v.push_back(t);
}

void unregisterProgressTarget(ProgressTarget* t) {
    auto& v = targets();
    v.erase(std::remove(v.begin(), v.end(), t), v.end());
}

ProgressTarget* activeProgressTarget() { return targets().empty() ? nullptr : targets().back(); }

void processPendingEvents() {
    if (eventsHook) eventsHook();
}
void setPendingEventsHook(void (*hook)()) { eventsHook = hook; }

}  // namespace ui
