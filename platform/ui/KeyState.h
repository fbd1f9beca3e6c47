// Toggle states of the lock keys and the status panels that show them.
// Caps, Num and Scroll Lock are read from the keyboard LEDs the kernel exposes
// (/sys/class/leds/*::capslock and so on): on when any keyboard has the LED lit.
// Insert has no toggle state on this platform; the program keeps one, flipped by
// toggleInsert() whenever the window sees the Insert key.
#pragma once

#include <QLabel>
#include <QString>

#include <initializer_list>

class QStatusBar;

namespace ui {

enum class LockKey { CapsLock, NumLock, ScrollLock };

bool lockKeyOn(LockKey key);
bool insertOn();
void toggleInsert();
void setInsertOn(bool on);

// Folder holding the LED entries; tests point it at a folder of their own.
void setLedFolder(const QString& folder);

// A status panel whose enabled state shows a key's state (enabled = on).
class KeyStatePanel : public QLabel {
    Q_OBJECT
public:
    explicit KeyStatePanel(const QString& caption, QWidget* parent = nullptr);
    void setOn(bool on) { setEnabled(on); }
    bool isOn() const { return isEnabled(); }
};

// Places the panels, sunken and centred, at the right end of a status bar in the given order.
void addStatusPanels(QStatusBar* bar, std::initializer_list<QLabel*> panels);

}  // namespace ui
