// The library's two exports. The caller's QApplication runs everything, on the caller's thread.
#include "diagram/DiagramWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>

#include <cerrno>
#include <cstdlib>

#define ORBELLE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

bool running = false;

// The top-level window whose native id is the decimal text, or nullptr.
QWidget* windowOf(const char* handleText) {
    if (!handleText || !*handleText) return nullptr;
    errno = 0;
    char* end = nullptr;
    const unsigned long long id = std::strtoull(handleText, &end, 10);
    if (errno != 0 || end == handleText || id == 0) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->internalWinId() && static_cast<unsigned long long>(w->internalWinId()) == id) return w;
    return nullptr;
}

}  // namespace

// Resets the placement and the per-diagram flags; called before every diagram.
ORBELLE_EXPORT int InitializeVariable() {
    orbelle::state() = orbelle::LibraryState();
    return 1;
}

// Shows the diagram of the file, with the caller's window disabled, and returns 1 when the
// diagram window has closed; 0 when it could not be shown (no application, a diagram already
// open, no path).
ORBELLE_EXPORT int CreateWindowFunction(const char* callerWindow, const char* diagramPath) {
    if (running || !qobject_cast<QApplication*>(QCoreApplication::instance()) || !diagramPath || !*diagramPath)
        return 0;
    running = true;
    QPointer<QWidget> caller = windowOf(callerWindow);
    if (caller) caller->setEnabled(false);
    {
        auto* window = new orbelle::DiagramWindow(diagramPath);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowModality(Qt::ApplicationModal);
        QEventLoop loop;
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        window->show();
        loop.exec();
    }
    if (caller) caller->setEnabled(true);
    running = false;
    return 1;
}
