// dalvane: the main program. With a batch document it runs without any window.
#include "core/QtPrompter.h"
#include "core/bGlobal.h"
#include "core/bGlobalUi.h"
#include "startup/bHandleCMD.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#ifdef DALV_HAVE_MAIN_WINDOW
#include "explorer/MainWindowHook.h"
#include "import/frmDatabaseConnection.h"
#include "migration/frmStructureMigration.h"
#endif

#include <QApplication>

#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // No fast bins: documents and transforms make and free millions of small nodes, and each
    // larger allocation then consolidated the fast bins, which cost more than they saved.
    mallopt(M_MXFAST, 0);
#endif
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    const bool batch = IsBatchCommandLine(commandLine);
    // A batch run never shows a window: Qt draws offscreen, prompts go to stderr, and the
    // error routine logs instead of opening its dialog.
    if (batch) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (batch) {
        ui::setPrompter(std::make_unique<ui::HeadlessPrompter>());
    } else {
        ui::setPrompter(std::make_unique<QtPrompter>());
        InstallErrorDialog();
        InstallContextHelp();
#ifdef DALV_HAVE_MAIN_WINDOW
        InstallMainWindowHook();
        InstallConnectionWizard();
        InstallMigrationWizard();
#endif
    }
    int rc = Main(commandLine);
    ClearAllTemporaryFiles();
    files::removePrivateTempFolder();
    return rc;
}
