// Screenshot files (.dvs): the current connection's whole structure, enciphered.
#include "explorer/ExplorerShared.h"
#include "explorer/frmDatabaseExplorer.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/ReportSupport.h"
#include "options/cReport.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/WaitCursor.h"

#include <cerrno>
#include <cstring>
#include <exception>

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

}  // namespace

void frmDatabaseExplorer::SaveStructure(bool saveAs) {
    try {
        if (!structureLoaded()) {
            critical("Database is not connected, please connect and try again");
            return;
        }
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
