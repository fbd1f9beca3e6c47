#include "platform/ui/ProgressTarget.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace {
int turns = 0;
void countTurn() { ++turns; }
}  // namespace

// Work beside the events thread: events run meanwhile, a call handed back runs on the events
// thread and what it threw is thrown in the work's code; what the work threw reaches the caller.
TEST(PendingEvents, WorkRunsBesideTheEventsAndHandsCallsBack) {
    ui::setPendingEventsHook(&countTurn);
    const std::thread::id events = std::this_thread::get_id();
    std::thread::id ranOn, calledOn;
    std::string caught;
    {
        ui::AllowPendingEvents allow;
        ui::runLettingEventsRun([&] {
            ranOn = std::this_thread::get_id();
            try {
                ui::runOnEventsThread([] { throw std::runtime_error("refused"); });
            } catch (const std::runtime_error& e) {
                caught = e.what();
            }
            // The next call neither throws the last one's failure nor runs here.
            EXPECT_TRUE(ui::runOnEventsThread([&] { calledOn = std::this_thread::get_id(); }));
            std::this_thread::sleep_for(std::chrono::milliseconds(3 * ui::kPendingEventsInterval));
        });
        EXPECT_THROW(ui::runLettingEventsRun([] { throw std::logic_error("failed"); }), std::logic_error);
    }
    ui::setPendingEventsHook(nullptr);
    EXPECT_NE(ranOn, events);
    EXPECT_EQ(calledOn, events);
    EXPECT_EQ(caught, "refused");
    EXPECT_GE(turns, 2);
    EXPECT_FALSE(ui::runOnEventsThread([] {}));  // no work running
}
