// Answers the modal windows of a test from timers: each step runs once its window is the one
// taking input, from a fresh event, so that a step may open the next modal window itself.
#pragma once

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace modalscript {

inline QWidget* topLevel(const char* objectName) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == objectName) return w;
    return nullptr;
}

class Script {
public:
    struct Step {
        const char* window;  // object name of the modal window
        std::function<void(QWidget*)> action;
    };
    explicit Script(std::deque<Step> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(20);
    }
    bool finished() const { return steps_.empty() && !busy_; }

private:
    void poll() {
        if (steps_.empty() || busy_) return;
        QWidget* w = topLevel(steps_.front().window);
        if (!w || QApplication::activeModalWidget() != w) return;
        auto action = steps_.front().action;
        steps_.pop_front();
        busy_ = true;
        QTimer::singleShot(0, w, [this, w, action] {
            busy_ = false;  // the action may open the next window itself
            action(w);
        });
    }
    std::deque<Step> steps_;
    QTimer timer_;
    bool busy_ = false;
};

inline void trigger(QWidget* w, const char* action) {
    QAction* a = w->findChild<QAction*>(action);
    ASSERT_TRUE(a) << action;
    a->trigger();
}
inline void press(QWidget* w, const char* button) {
    QPushButton* b = w->findChild<QPushButton*>(button);
    ASSERT_TRUE(b) << button;
    b->click();
}
inline void answer(QWidget* box, QMessageBox::StandardButton which) {
    auto* m = qobject_cast<QMessageBox*>(box);
    ASSERT_TRUE(m);
    m->button(which)->click();
}
// The Add Table dialog: every table added.
inline void addEveryTable(QWidget* dialog) {
    press(dialog, "cmdSelectAll");
    press(dialog, "cmdAdd");
    press(dialog, "cmdOK");
}

}  // namespace modalscript
