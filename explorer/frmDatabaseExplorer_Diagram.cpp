// frmDatabaseExplorer: the relationship diagram of the current connection.
#include "explorer/frmDatabaseExplorer.h"

#include "explorer/ExplorerShared.h"

#include "core/bErrorHandler.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"

#include <QTimer>

#include <exception>
#include <stdexcept>
#include <utility>

bool frmDatabaseExplorer::ExecuteDiagramApp(unsigned long long WindowHandle, const std::string& DiagramPath) {
    return oReportEngine && oReportEngine->ExecuteDiagramApp(WindowHandle, DiagramPath, "frmDatabaseExplorer.ExecuteDiagramApp");
}

void frmDatabaseExplorer::ShowDiagram(bool& Generate) {
    // The clock and key-state panels rest while the diagram window is open.
    struct StatusTimerPause {
        QTimer* timer;
        bool wasActive;
        explicit StatusTimerPause(QTimer* t) : timer(t), wasActive(t && t->isActive()) {
            if (timer) timer->stop();
        }
        ~StatusTimerPause() {
            if (timer && wasActive) timer->start();
        }
    } pause(tmrStatus);
    try {
        if (!oReportEngine) return;
        // The diagram is the current connection's, drawn from its own structure only.
        if (Generate ? !ensureStructureLoaded() : !currentConnectionLoaded()) {
            wbHTMLPreview->Navigate2(QString());
            return;
        }
        std::string picture, diagramFile;
        if (!oReportEngine->ShowRelationshipDiagram(static_cast<unsigned long long>(winId()), Generate, picture,
                                                    diagramFile)) {
            wbHTMLPreview->Navigate2(QString());
            return;
        }
        if (Generate && !ExecuteDiagramApp(static_cast<unsigned long long>(winId()), diagramFile)) return;
        std::string html, print;
        if (!oReportEngine->PreviewDiagram(picture, html, print) || html.empty() || print.empty()) return;
        // The pages link styles/ and images/ as a report folder has them; the private folder has
        // only the picture.
        for (const auto& [page, css] : {std::pair{html, oReportEngine->HTML_CurrentCSS()},
                                        std::pair{print, oReportEngine->PrinterFriendlyCSS}}) {
            std::string text;
            if (!files::readTextFile(page, text) || !files::writeTextFile(page, explorer::previewReferences(text, css)))
                throw std::runtime_error("The preview cannot be written to " + page + ".");
        }
        if (wbHTMLPreview->LocationURL().contains(QLatin1String("temp.html")))
            wbHTMLPreview->Refresh2();
        else
            wbHTMLPreview->Navigate2(QString::fromStdString(html));
        wbWebLayout->Navigate2(QString::fromStdString(html));
        wbPrintLayout->Navigate2(QString::fromStdString(print));
        if (Generate) activateWindow();
        StoreProjectIfChanged();  // a new diagram file is named in the project
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.ShowDiagram");
    }
}
