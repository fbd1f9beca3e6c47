#include "platform/db/Unanswered.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace db {

namespace {
using Clock = std::chrono::steady_clock;

std::atomic<bool> watching{false};
std::mutex callsMutex;
std::map<std::uint64_t, Clock::time_point> calls;  // by id: the first is the oldest
std::uint64_t lastId = 0;
}  // namespace

struct UnansweredWatch::State {
    std::chrono::milliseconds limit{};
    std::function<void()> givenUp;
    std::mutex m;
    std::condition_variable cv;
    bool stop = false;
    std::thread thread;

    void run() {
        const auto step = std::clamp(limit / 4, std::chrono::milliseconds(10), std::chrono::milliseconds(250));
        std::unique_lock lock(m);
        while (!cv.wait_for(lock, step, [this] { return stop; })) {
            bool over = false;
            {
                std::lock_guard calling(callsMutex);
                over = !calls.empty() && Clock::now() - calls.begin()->second > limit;
            }
            if (!over) continue;
            lock.unlock();
            givenUp();
            return;
        }
    }
};

UnansweredWatch::UnansweredWatch(std::chrono::milliseconds limit, std::function<void()> givenUp)
    : s_(std::make_shared<State>()) {
    s_->limit = limit;
    s_->givenUp = std::move(givenUp);
    watching = true;
    s_->thread = std::thread([s = s_] { s->run(); });
}

UnansweredWatch::~UnansweredWatch() {
    watching = false;
    {
        std::lock_guard lock(s_->m);
        s_->stop = true;
    }
    s_->cv.notify_all();
    s_->thread.join();
    std::lock_guard calling(callsMutex);
    calls.clear();
}

Awaiting::Awaiting() {
    if (!watching.load(std::memory_order_relaxed)) return;
    std::lock_guard lock(callsMutex);
    id_ = ++lastId;
    calls.emplace(id_, Clock::now());
}

Awaiting::~Awaiting() {
    if (id_ == 0) return;
    std::lock_guard lock(callsMutex);
    calls.erase(id_);
}

}  // namespace db
