#include "platform/ui/KeyState.h"

#include <QStatusBar>

#include <QDir>
#include <QFile>

namespace ui {
namespace {
QString& ledFolder() {
    static QString f = QStringLiteral("/sys/class/leds");
    return f;
}
bool insertState = false;

bool ledLit(const QString& suffix) {
    QDir dir(ledFolder());
    const QStringList entries =
        dir.entryList({QStringLiteral("*::") + suffix}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& e : entries) {
        QFile f(dir.filePath(e + QStringLiteral("/brightness")));
        if (!f.open(QIODevice::ReadOnly)) continue;
        if (f.readAll().trimmed().toInt() > 0) return true;
    }
    return false;
}
}  // namespace

bool lockKeyOn(LockKey key) {
    switch (key) {
    case LockKey::CapsLock: return ledLit(QStringLiteral("capslock"));
    case LockKey::NumLock: return ledLit(QStringLiteral("numlock"));
    case LockKey::ScrollLock: return ledLit(QStringLiteral("scrolllock"));
    }
    return false;
}

bool insertOn() { return insertState; }
void toggleInsert() { insertState = !insertState; }
void setInsertOn(bool on) { insertState = on; }

void setLedFolder(const QString& folder) { ledFolder() = folder; }

KeyStatePanel::KeyStatePanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setObjectName(caption);
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setMinimumWidth(fontMetrics().horizontalAdvance(caption) + 12);
}

void addStatusPanels(QStatusBar* bar, std::initializer_list<QLabel*> panels) {
    for (QLabel* l : panels) {
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(l);
    }
}

}  // namespace ui
