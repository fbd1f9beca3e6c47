#include "startup/bHandleCMD.h"

#include "core/bErrorHandler.h"
#include "core/bVersion.h"
#include "core/cDVUpdates.h"
#include "core/cGUID.h"
#include "core/cSystemInfo.h"
#include "startup/frmSplash.h"
#include "platform/registry/cRegistry.h"
#include "platform/ui/Prompter.h"

#include <QApplication>

#include <iostream>

namespace {
MainWindowHook& mainWindowHook() {
    static MainWindowHook h;
    return h;
}
}  // namespace

void SetMainWindowHook(MainWindowHook hook) { mainWindowHook() = std::move(hook); }
const MainWindowHook& GetMainWindowHook() { return mainWindowHook(); }

int Main(const std::string& commandLine) {
    try {
        oRegistry = std::make_unique<cRegistry>();
        oSystemInfo = std::make_unique<cSystemInfo>();
        InitVersionInfo();
        HelpFile = GetHelpFileLocation();
        oSystemInfo->SetCurrentPath();
        SetProgramFolders();
        oGUID = std::make_unique<cGUID>();
        oWebService = std::make_unique<cDVUpdates>();

        std::string failed;
        std::vector<std::string> notes;
        if (!CreateUserFolders(nullptr, &failed, &notes, IsBatchCommandLine(commandLine))) {
            HandleError(76, "Path not found: " + failed + " could not be created", "bHandleCMD.Main");
            return 1;
        }
        for (const std::string& note : notes) ui::MsgBox(note, ui::MsgButtons::OK, ui::MsgIcon::Information);
        OSName = oSystemInfo->OperatingSystem();
        if (!InitReportEngine()) return 1;
        LoadCustomizedObjects();

        BatchResult batch;
        int mode = HandleCLP(commandLine, &batch);
        if (mode == 2) {
            if (!batch.success || batch.warned > 0) std::cerr << ApplicationTitle << ": " << batch.message << std::endl;
            return batch.success && !ErrorShown ? 0 : 1;
        }
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::cerr << ApplicationTitle << ": no window system for an interactive start" << std::endl;
            return 1;
        }
        auto* splash = new frmSplash();
        splash->setAttribute(Qt::WA_DeleteOnClose, false);
        splash->show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bHandleCMD.Main");
        return 1;
    }
}
