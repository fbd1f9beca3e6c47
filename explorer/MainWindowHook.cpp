#include "explorer/MainWindowHook.h"

#include "startup/bHandleCMD.h"
#include "explorer/frmDatabaseExplorer.h"

void InstallMainWindowHook() {
    SetMainWindowHook([] { return frmDatabaseExplorer::ShowMainWindow() != nullptr; });
}
