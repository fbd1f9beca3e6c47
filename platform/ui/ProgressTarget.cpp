#include "platform/ui/ProgressTarget.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
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
// Set only on the hook's thread; other threads return before reading it.
Clock::time_point nextRun{};
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
    hookThread = std::this_thread::get_id();
    nextRun = {};
    eventsHook = hook;
}

void restartPendingEvents() {
    if (std::this_thread::get_id() == hookThread) nextRun = {};
}

void runLettingEventsRun(const std::function<void()>& work) {
    if (!eventsHook.load() || std::this_thread::get_id() != hookThread.load()) {
        work();
        return;
    }
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> hold(lock);
        done = true;
        ended.notify_one();
    });
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(lock);
            if (ended.wait_for(hold, std::chrono::milliseconds(kPendingEventsInterval / 5), [&] { return done; }))
                break;
        }
        processPendingEvents();
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace ui
