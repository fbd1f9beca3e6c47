// Screenshot files (.dvs): the current connection's whole structure, enciphered.
#include "explorer/ExplorerShared.h"
#include "explorer/frmDatabaseExplorer.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/ReportSupport.h"
#include "options/cReport.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/WaitCursor.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <set>

using namespace explorer;

namespace {

constexpr const char* kScreenshotFilter = "Dalvane Database ScreenShot file | *.dvs";
constexpr int kScreenshotPassPhrase = 3;

void critical(const std::string& text) { ui::MsgBox(text, ui::MsgButtons::OK, ui::MsgIcon::Critical, appTitle()); }

// A name typed without an extension gets ".dvs".
std::string withScreenshotExtension(const std::string& path) {
    return files::extensionOf(path).empty() ? path + ".dvs" : path;
}

// The messages of a failed write; false when the failure is none of the known file errors.
bool reportWriteFailure(int err) {
    const long number = files::errorNumberOf(err);
    std::string text = files::fileErrorText(number, "Unable to write file, access denied.\r\nTry to save in different folder.");
    if (text.empty()) return false;
    critical(text);
    return true;
}

// What the options of a connection say of the database they reach: engine, server, file, the
// connection string's pairs (secrets and the login left out) and the database's name.
struct DatabaseIdentity {
    std::string engine, server, path, name;
    std::map<std::string, std::string> pairs;
};

DatabaseIdentity identityOf(const xml::Node& options, const std::string& entryConnectionString) {
    auto value = [&options](const char* path) {
        xml::Node n = options ? options.selectSingleNode(path) : xml::Node();
        return n ? text::trim(n.text()) : std::string();
    };
    DatabaseIdentity id{value("MOREINFO/SERVER/@DBEngineId"), text::lower(value("MOREINFO/SERVER/@Name")),
                        value("MOREINFO/DATABASE/@Path"), text::lower(value("MOREINFO/DATABASE/@Name")), {}};
    std::string cs = value("CONNECTIONSTRING/@Value");
    if (cs.empty()) cs = entryConnectionString;
    db::ConnectionParameters params;
    try {
        params = db::parseConnectionString(cs);
    } catch (const db::Error&) {
        params = {{"unreadable", cs}};
    }
    if (params.empty() && options)
        for (const xml::Node& p : options.selectNodes("CONNECTIONSTRING/PARAMETERS/PARAMETER"))
            params.emplace_back(p.attribute("Name"), p.attribute("Value"));
    static const std::set<std::string> login = {"user id", "uid", "user", "username"};
    static const std::set<std::string> caseless = {"driver", "provider", "dsn", "server", "host", "hostname"};
    for (const auto& [key, v] : params) {
        const std::string k = text::lower(text::trim(key));
        if (k.empty() || text::trim(v).empty() || db::isSecretKeyword(k) || login.count(k)) continue;
        id.pairs[k] = caseless.count(k) ? text::lower(text::trim(v)) : text::trim(v);
    }
    return id;
}

// Every fact both sides know must agree; the file or the connection string, when both know
// one, decides over the name the user gave.
bool sameDatabase(const DatabaseIdentity& a, const DatabaseIdentity& b) {
    auto differ = [](const auto& x, const auto& y) { return !x.empty() && !y.empty() && x != y; };
    if (differ(a.engine, b.engine) || differ(a.server, b.server) || differ(a.path, b.path) ||
        differ(a.pairs, b.pairs))
        return false;
    const bool located = (!a.path.empty() && !b.path.empty()) || (!a.pairs.empty() && !b.pairs.empty());
    return located || a.name == b.name;
}

}  // namespace

void frmDatabaseExplorer::SaveStructure(bool saveAs) {
    try {
        // The current connection's own structure, loaded when another one was before.
        if (!ensureStructureLoaded()) return;
        xml::Node entry = oStructures.selectSingleNode(
            connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
        if (!entry || entry.childCount() == 0) {
            critical("Click on a valid database structure and try to save.");
            return;
        }
        std::string target = text::trim(entry.attribute("CurrentDVSFile"));
        if (saveAs || target.empty()) {
            ui::FileRequest req;
            req.filter = kScreenshotFilter;
            req.initialPath = files::joinPath(ReportsFolder, "*.dvs");
            req.save = true;
            target = ui::prompter().chooseFile(req);
            if (target.empty() || files::fileName(target) == "*.dvs") return;
            target = withScreenshotExtension(target);
        }
        report_support::blankSecrets(oReportEngine->oResultXML->documentElement());
        const std::string enciphered =
            EncryptText(oReportEngine->oResultXML->xml(), StoredPassPhrase(kScreenshotPassPhrase));
        if (enciphered.empty() || enciphered[0] == '-') {
            HandleError(-1, "The structure could not be enciphered.", "frmDatabaseExplorer.SaveStructure");
            return;
        }
        ui::WaitCursor wait;
        // The structure holds the connection's options (no secrets): private file all the same.
        errno = 0;
        if (!files::writeTextFile(target, enciphered, true)) {
            const int err = errno;
            if (!reportWriteFailure(err))
                HandleError(-1, "Unable to write " + target + ": " + std::string(std::strerror(err)),
                            "frmDatabaseExplorer.SaveStructure");
            return;
        }
        // Recorded once written, so a failed Save never turns the next Save silent.
        entry.setAttribute("CurrentDVSFile", target);
        setStatusText("Screenshot file saved: " + target);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.SaveStructure");
    }
}

void frmDatabaseExplorer::OpenStructure(std::string& path) {
    try {
        if (path.empty()) {
            ui::FileRequest req;
            req.filter = kScreenshotFilter;
            req.initialPath = files::joinPath(ReportsFolder, "*.dvs");
            path = ui::prompter().chooseFile(req);
            if (files::fileName(path) == "*.dvs") path.clear();
        }
        if (path.empty()) return;
        const int g = oReportEngine->CurrentDatabaseGroup();
        const int n = oReportEngine->CurrentDatabaseNumber();
        xml::Node entry = oStructures.selectSingleNode(connectionPath(g, n));
        if (!entry) {
            critical("Select the database connection that the screenshot file is to replace, and open it again.");
            return;
        }
        ui::WaitCursor wait;
        std::string stored;
        if (!files::readTextFile(path, stored)) {
            const int err = errno;
            std::string text = files::fileErrorText(files::errorNumberOf(err), "");
            critical(text.empty() ? "Unable to read " + path + ": " + std::strerror(err) : text);
            return;
        }
        // Checked whole before anything is replaced: a damaged or foreign file changes nothing.
        std::string plain = DecryptText(text::trim(stored), StoredPassPhrase(kScreenshotPassPhrase));
        if (plain == "-1" || plain == "-2" || plain == "-3") plain.clear();
        auto structure = std::make_shared<xml::Document>();
        if (!ValidateXML(path, plain, true, "dvs", structure.get())) return;
        // A copy of another database's structure replaces this one only when the user says so.
        xml::Node fileOptions = structure->selectSingleNode("DATABASE/DBOPTIONS");
        DatabaseIdentity fileIdentity = identityOf(fileOptions, {});
        const xml::Node root = structure->documentElement();
        if (fileIdentity.engine.empty()) fileIdentity.engine = text::trim(root.attribute("DatabaseType"));
        if (fileIdentity.name.empty()) fileIdentity.name = text::lower(text::trim(root.attribute("DatabaseName")));
        if (!sameDatabase(fileIdentity,
                          identityOf(entry.selectSingleNode("DBOPTIONS"), entry.attribute("ConnectionString")))) {
            std::string other = text::trim(root.attribute("DatabaseName"));
            const std::string server = text::trim(root.attribute("ServerName"));
            if (!server.empty()) other += "\" on " + server;
            else other += "\"";
            const std::string name = entry.attribute("Name");
            if (ui::MsgBox("The screenshot file " + path + " holds the structure of the database \"" + other +
                               ", not of the connection \"" + name + "\".\nDo you want to replace the structure of \"" +
                               name + "\" with it?",
                           ui::MsgButtons::YesNo, ui::MsgIcon::Question, appTitle()) != ui::MsgResult::Yes)
                return;
        }
        if (!loadEntryOptions(g, n)) return;
        oReportEngine->XMLFilePath(path);
        oReportEngine->oResultXML = structure;
        entry.setAttribute("CurrentDVSFile", path);
        entry.setAttribute("SourceType", "FILE");
        oReportEngine->SaveTempFile();
        loadedFrom_ = entry.attribute("TempXMLFileName");
        PopulateLHXML();
        EnableSaveMenus(true);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.OpenStructure");
    }
}
