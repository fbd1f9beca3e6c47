#include "core/bGlobalUi.h"

#include "core/bErrorHandler.h"
#include "core/frmErrorHandler.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

void UnloadAllForms(const std::string& exceptName) {
    QString keep = QString::fromStdString(exceptName).toLower();
    // Closing runs each window's own unload handling; windows made to be deleted on close
    // are deleted by Qt (others may live on the stack of a caller).
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isWindow() || w->objectName().toLower() == keep) continue;
        w->close();
    }
}

void InstallErrorDialog() {
    setErrorDialogHook([](long number, const std::string& description, const std::string& source) {
        static QPointer<frmErrorHandler> dialog;
        if (!dialog) dialog = new frmErrorHandler();
        dialog->DisplayError(number, description, source);
    });
}
