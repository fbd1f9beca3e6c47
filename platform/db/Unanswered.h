// Gives up on database servers that stop answering. While a watch lives, a thread looks at the
// process's TCP connections twice a second; one that has waited longer than the limit for an
// answer (data sent, nothing received since) is shut, so that the driver call waiting on it
// fails instead of waiting for ever. For headless runs, where every TCP connection of the
// process belongs to a database driver.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace db {

class UnansweredWatch {
public:
    explicit UnansweredWatch(int seconds);
    ~UnansweredWatch();
    UnansweredWatch(const UnansweredWatch&) = delete;
    UnansweredWatch& operator=(const UnansweredWatch&) = delete;

    int seconds() const;
    // The peers ("address:port") of the connections given up since the last call.
    std::vector<std::string> takeGivenUp();

private:
    struct State;
    std::shared_ptr<State> s_;
};

}  // namespace db
