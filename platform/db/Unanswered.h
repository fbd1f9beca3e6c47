// Gives up on a database that leaves a request unanswered. The calls into a driver that wait on
// the database are marked by an Awaiting guard; while an UnansweredWatch lives, a thread looks
// at the oldest marked call a few times a second and, once it has waited longer than the limit,
// runs the watch's routine. That routine is meant to end the process: a driver waiting in a
// socket read on a server that stopped answering returns for nothing the client can do.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace db {

class UnansweredWatch {
public:
    // givenUp runs once, on the watch's thread. One watch at a time.
    UnansweredWatch(std::chrono::milliseconds limit, std::function<void()> givenUp);
    ~UnansweredWatch();
    UnansweredWatch(const UnansweredWatch&) = delete;
    UnansweredWatch& operator=(const UnansweredWatch&) = delete;

private:
    struct State;
    std::shared_ptr<State> s_;
};

// Marks the call into the driver made while it lives as waiting on the database. Costs nothing
// but a flag test while no watch lives.
class Awaiting {
public:
    Awaiting();
    ~Awaiting();
    Awaiting(const Awaiting&) = delete;
    Awaiting& operator=(const Awaiting&) = delete;

private:
    std::uint64_t id_ = 0;  // 0: not marked
};

}  // namespace db
