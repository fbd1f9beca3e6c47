// The query tool: one window on the connection of the hand-off document named by the
// command line (all its arguments, joined and trimmed, are that one path).
#include "core/QtPrompter.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "querytool/frmBrenik.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("brenik");
    ui::setPrompter(std::make_unique<QtPrompter>());
    std::string handOff;
    for (int i = 1; i < argc; ++i) handOff += std::string(i > 1 ? " " : "") + argv[i];
    const char* appDir = std::getenv("DALVANE_APP_DIR");
    const std::string folder = appDir && *appDir ? std::string(appDir) : files::executableFolder();
    frmBrenik w(text::trim(handOff), folder);
    w.show();
    return app.exec();
}
