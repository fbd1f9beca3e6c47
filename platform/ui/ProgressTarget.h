// The progress operations a window offers to long work (imports, reports). Long work asks
// for the active target; none means silent.
#pragma once

#include <functional>
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

// Lets pending UI events run during long work, so that the window repaints, moves its progress
// and takes a Cancel or a close. Long work may call it as often as it likes: the hook runs at
// most once per kPendingEventsInterval (by a steady clock) and only on the thread that
// installed it; without a hook (headless) nothing runs.
inline constexpr int kPendingEventsInterval = 50;  // milliseconds
void processPendingEvents();
void setPendingEventsHook(void (*hook)());

// Held by a window for the time of work during which its events may run: it has made sure
// that no command re-enters meanwhile. The GUI's pump lets events run only then.
class AllowPendingEvents {
public:
    AllowPendingEvents();
    ~AllowPendingEvents();
    AllowPendingEvents(const AllowPendingEvents&) = delete;
    AllowPendingEvents& operator=(const AllowPendingEvents&) = delete;
};
bool pendingEventsAllowed();
// The next processPendingEvents runs the hook at once (the start of a piece of work).
void restartPendingEvents();

// Runs work, which must touch no window, prompt or document that pending events may use, on a
// thread of its own while this thread lets pending events run; returns when it has ended and
// passes on what it threw. Where events may not run (no hook on this thread, or not allowed)
// the work simply runs here.
void runLettingEventsRun(const std::function<void()>& work);

// Called on the thread of such work: runs call on the thread that lets events run (a prompt,
// an error report) and waits for it; true then, and what call threw is thrown here. False, and
// nothing done, on any other thread.
bool runOnEventsThread(const std::function<void()>& call);

}  // namespace ui
