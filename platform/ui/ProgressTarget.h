// The progress operations a window offers to long work (imports, reports). Long work asks
// for the active target; none means silent.
#pragma once

#include <string>

namespace ui {

class ProgressTarget {
public:
    virtual ~ProgressTarget() = default;
    virtual void StartProgress(const std::string& message, int incrementValue) = 0;
    virtual void IncrementProgress(const std::string& message, int incrementValue) = 0;
    virtual void StopProgress(const std::string& message) = 0;
    virtual void setStatusText(const std::string& text) = 0;  // lblStatus
};

// Windows register themselves while shown; the most recently activated one is the active
// target. Widget-free so that readers and the batch run can use it.
void registerProgressTarget(ProgressTarget* t);     // also makes it active
void activateProgressTarget(ProgressTarget* t);
void unregisterProgressTarget(ProgressTarget* t);
ProgressTarget* activeProgressTarget();             // nullptr when none

// Lets pending UI events run during long work (installed by the GUI; no-op otherwise).
void processPendingEvents();
void setPendingEventsHook(void (*hook)());

}  // namespace ui
