#include "platform/ui/ProgressTarget.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace ui {
namespace {
std::vector<ProgressTarget*>& targets() {
    static std::vector<ProgressTarget*> t;
    return t;
}

using Clock = std::chrono::steady_clock;

std::atomic<void (*)()> eventsHook{nullptr};
std::atomic<std::thread::id> hookThread{};
// Set only on the hook's thread; other threads return before reading them.
Clock::time_point nextRun{};
int allowed = 0;

// The work of runLettingEventsRun and the calls it hands to the events thread.
struct Runner {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    const std::function<void()>* call = nullptr;  // waiting to run on the events thread
    std::exception_ptr callFailure;               // what the call threw, for its caller
};
std::mutex runnerLock;
Runner* runner = nullptr;  // the innermost one running
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
    void (*hook)() = eventsHook.load(std::memory_order_relaxed);
    if (!hook || std::this_thread::get_id() != hookThread.load(std::memory_order_relaxed)) return;
    const Clock::time_point now = Clock::now();
    if (now < nextRun) return;
    // Set before the hook runs: work started by an event does not pump again at once.
    nextRun = now + std::chrono::milliseconds(kPendingEventsInterval);
    hook();
}

void setPendingEventsHook(void (*hook)()) {
    if (hookThread.load() != std::this_thread::get_id()) allowed = 0;
    hookThread = std::this_thread::get_id();
    nextRun = {};
    eventsHook = hook;
}

void restartPendingEvents() {
    if (std::this_thread::get_id() == hookThread) nextRun = {};
}

AllowPendingEvents::AllowPendingEvents() {
    if (std::this_thread::get_id() == hookThread.load()) ++allowed;
}
AllowPendingEvents::~AllowPendingEvents() {
    if (std::this_thread::get_id() == hookThread.load() && allowed > 0) --allowed;
}
bool pendingEventsAllowed() { return std::this_thread::get_id() == hookThread.load() && allowed > 0; }

void runLettingEventsRun(const std::function<void()>& work) {
    if (!eventsHook.load() || !pendingEventsAllowed()) {
        work();
        return;
    }
    Runner self;
    Runner* outer;
    {
        std::lock_guard<std::mutex> hold(runnerLock);
        outer = runner;
        runner = &self;
    }
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> hold(self.lock);
        self.done = true;
        self.changed.notify_all();
    });
    for (;;) {
        const std::function<void()>* call = nullptr;
        {
            std::unique_lock<std::mutex> hold(self.lock);
            self.changed.wait_for(hold, std::chrono::milliseconds(kPendingEventsInterval / 5),
                                  [&] { return self.done || self.call; });
            if (self.done) break;
            call = self.call;
        }
        if (call) {
            std::exception_ptr failed;
            try {
                (*call)();
            } catch (...) {
                failed = std::current_exception();
            }
            std::lock_guard<std::mutex> hold(self.lock);
            self.callFailure = failed;
            self.call = nullptr;
            self.changed.notify_all();
        }
        processPendingEvents();
    }
    worker.join();
    {
        std::lock_guard<std::mutex> hold(runnerLock);
        runner = outer;
    }
    if (failure) std::rethrow_exception(failure);
}

bool runOnEventsThread(const std::function<void()>& call) {
    if (std::this_thread::get_id() == hookThread.load()) return false;
    std::unique_lock<std::mutex> find(runnerLock);
    Runner* r = runner;
    if (!r) return false;
    std::unique_lock<std::mutex> hold(r->lock);
    if (r->done) return false;
    find.unlock();
    // One call at a time: the worker waits for its own to have run.
    r->changed.wait(hold, [&] { return !r->call; });
    r->call = &call;
    r->changed.notify_all();
    r->changed.wait(hold, [&] { return r->call != &call; });
    if (std::exception_ptr failed = std::exchange(r->callFailure, nullptr)) std::rethrow_exception(failed);
    return true;
}

}  // namespace ui
