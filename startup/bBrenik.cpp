// The hand-off to the query tool: a small document with the connection and the query, and
// the tool started on it as a process of its own.
#include "core/bDBEngines.h"
#include "startup/bStartup.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/db/ConnectionString.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/Prompter.h"

#include <QProcess>

#include <cerrno>

std::string BrenikConnectionString() {
    if (!oReportEngine) return {};
    const int engine = oReportEngine->CurrentDatabaseEngineId();
    if (EngineKindOf(engine) != EngineKind::Access) return oReportEngine->ConnectionString();
    if (oReportEngine->DatabasePath().empty()) return {};
    return db::buildConnectionString({{"Provider", "Microsoft.Jet.OLEDB.4.0"},
                                      {"Data Source", oReportEngine->DatabasePath()},
                                      {"Jet OLEDB:Database Password", oReportEngine->AccessDatabasePassword()}});
}

bool Brenik(bool executeNow, const std::string& query) {
    try {
        if (!oReportEngine) return false;
        xml::Document doc;
        xml::Node root = doc.createRoot("BRENIK");
        root.setAttribute("ExecuteNow", executeNow ? "True" : "False");
        root.appendElement("CONNECTIONSTRING").appendCData(BrenikConnectionString());
        root.appendElement("DATABASENAME").setText(oReportEngine->DatabaseName());
        root.appendElement("QUERY").appendCData(query);

        const std::string path = "DATABASESTRUCTURES/DATABASEGROUP[" +
                                 std::to_string(oReportEngine->CurrentDatabaseGroup()) +
                                 "]/DATABASECONNECTION[" +
                                 std::to_string(oReportEngine->CurrentDatabaseNumber()) + "]";
        xml::Node connection = oStructures.selectSingleNode(path);
        if (!connection) return false;
        std::string handOff = HandOffFileName(text::trim(connection.attribute("TempXMLFileName")));
        // The document holds the password: it goes nowhere but the private temporary folder,
        // whatever a stored project document names.
        const std::string temp = TempFolder.empty() ? files::privateTempFolder() : TempFolder;
        if (!handOff.empty() && !files::isInside(handOff, temp)) handOff = files::uniqueTempFile("brenik", "_Query.xml");

        errno = 0;
        const long number = handOff.empty() ? files::kBadFileName : 0;
        if (number != 0 || !files::writeTextFile(handOff, doc.xml(), true)) {
            const long n = number != 0 ? number : files::errorNumberOf(errno);
            const std::string text =
                files::fileErrorText(n, "You dont have permission to save the xml in the selected folder.");
            if (text.empty())
                HandleError(n, "The query document " + handOff + " could not be written.", "bGlobal.Brenik");
            else
                ui::MsgBox(text, ui::MsgButtons::OK, ui::MsgIcon::Information);
            return false;
        }

        auto process = std::make_unique<QProcess>();
        process->setProgram(QString::fromStdString(BrenikProgram()));
        process->setArguments({QString::fromStdString(handOff)});
        process->setWorkingDirectory(QString::fromStdString(AppFolder));
        process->start();
        if (!process->waitForStarted(10000)) {
            ui::MsgBox("The query tool could not be started (" + BrenikProgram() + "): " +
                           process->errorString().toStdString(),
                       ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return false;
        }
        ProcessHandles.push_back(std::move(process));
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bGlobal.Brenik");
        return false;
    }
}
