#include "core/bGlobalUi.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/frmErrorHandler.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <map>

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

namespace {

// Pages of the help folder by form name.
const std::map<std::string, std::string>& windowTopics() {
    static const std::map<std::string, std::string> topics = {
        {"frmDatabaseExplorer", "index.html"},      {"frmDatabaseConnection", "getting-started.html"},
        {"frmProperties", "getting-started.html"}, {"frmReportSetup", "reports.html"},
        {"frmGenerateBatchFile", "batch.html"},    {"frmDisplayColumns", "reports.html"},
        {"frmErrorHandler", "errors.html"},        {"frmSendMail", "errors.html"},
        {"frmDisplayError", "errors.html"},        {"frmStructureMigration", "migration.html"},
    };
    return topics;
}

class ContextHelpFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
            watched->isWidgetType()) {
            QWidget* focus = QApplication::focusWidget();
            KeyHelp(focus ? focus : static_cast<QWidget*>(watched));
            return true;
        }
        return false;
    }
};

}  // namespace

std::string HelpTopicFor(const QWidget* control) {
    const std::string start = GetHelpFileLocation();
    const std::string folder = files::parentFolder(start);
    for (const QWidget* w = control; w; w = w->parentWidget()) {
        QString topic = w->property("helpTopic").toString();
        if (!topic.isEmpty()) return files::joinPath(folder, topic.toStdString());
        auto it = windowTopics().find(w->objectName().toStdString());
        if (it != windowTopics().end()) return files::joinPath(folder, it->second);
    }
    return start;
}

void KeyHelp(const QWidget* control) {
    try {
        ui::prompter().openExternally(HelpTopicFor(control));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bGlobal.KeyHelp");
    }
}

void InstallContextHelp() {
    static ContextHelpFilter* filter = nullptr;
    if (filter || !qApp) return;
    filter = new ContextHelpFilter(qApp);
    qApp->installEventFilter(filter);
}
