#include "explorer/MainWindowHook.h"

#include "core/bHandleCMD.h"
#include "explorer/frmDatabaseExplorer.h"

void InstallMainWindowHook() {
    SetMainWindowHook([] { return frmDatabaseExplorer::ShowMainWindow() != nullptr; });
}
