// cReport: structure files, temporary copies and loading stored options.
#include "options/cReport.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/ReportSupport.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"

#include <cerrno>
#include <cstring>
#include <exception>

using namespace report_support;

namespace {

constexpr const char* kNoPermission = "You dont have permission to save the xml in the selected folder.";

std::string connectionPath(int g, int n) {
    return "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]/DATABASECONNECTION[" + std::to_string(n) + "]";
}

// Writes a document as a private file (structure documents hold connection options); throws
// files::FileError when it cannot be written.
void writePrivateDocumentOrThrow(const xml::Document& doc, const std::string& path) {
    const std::string folder = files::parentFolder(path);
    if (path.empty() || files::fileName(path).empty() || (!folder.empty() && !files::folderExists(folder)))
        throw files::FileError(files::kBadFileName, "");
    errno = 0;
    if (!files::writeTextFile(path, doc.xml(), true)) {
        const long number = files::errorNumberOf(errno);
        throw files::FileError(number == -1 ? files::kPermissionDenied : number, files::lastWriteError());
    }
}

// The same, showing the message that fits when the file cannot be written.
bool writePrivateDocument(const xml::Document& doc, const std::string& path) {
    try {
        writePrivateDocumentOrThrow(doc, path);
        return true;
    } catch (const files::FileError& e) {
        ReportFileError(e, kNoPermission, "SaveXML");
        return false;
    }
}

}  // namespace

void cReport::WriteTempFile() {
    errno = 0;
    if (files::privateTempFolder().empty())
        throw files::FileError(files::errorNumberOf(errno),
                               std::string("The temporary folder cannot be made: ") + std::strerror(errno));
    const std::string path = files::uniqueTempFile("structure_", ".xml");
    if (!oResultXML) return;
    blankSecrets(oResultXML->documentElement());
    // Written beside the window, which stays alive: its events leave the structure alone.
    ui::runLettingEventsRun([&] { writePrivateDocumentOrThrow(*oResultXML, path); });
    xml::Node entry = oStructures.selectSingleNode(connectionPath(CurrentDatabaseGroup(), CurrentDatabaseNumber()));
    if (entry) entry.setAttribute("TempXMLFileName", path);
}

void cReport::SaveTempFile() {
    try {
        WriteTempFile();
    } catch (const files::FileError& e) {
        ReportFileError(e, kNoPermission, "Main.SaveTempFile");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "Main.SaveTempFile");
    }
}

bool cReport::SaveXML(const std::string& sPXMLFileName, bool bSelected, bool bPreview) {
    try {
        // The structure is written as it is; the report form is the transform's own result
        // tree. Neither is copied into another document first.
        if (!bSelected) {
            if (!oResultXML) throw std::runtime_error("No structure is loaded.");
            blankSecrets(oResultXML->documentElement());
            return writePrivateDocument(*oResultXML, sPXMLFileName);
        }
        xml::Stylesheet sheet;
        if (!sheet.load(files::joinPath(StylesFolder, "ReportXML.xsl"))) return false;
        const xml::Document* source = bPreview ? oPreviewXML_.get() : oResultXML.get();
        if (!source) throw std::runtime_error(bPreview ? "No preview has been made." : "No structure is loaded.");
        xml::Document out;
        if (!sheet.transform(*source, out)) return false;
        return writePrivateDocument(out, sPXMLFileName);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "SaveXML");
        return false;
    }
}

bool cReport::LoadCurrentDBXML(const std::string& path) {
    if (importing_) return false;
    try {
        // Everything is read first; the current documents change only when all three loaded.
        auto structure = std::make_shared<xml::Document>();
        if (!structure->load(path)) return false;
        xml::Node ro = structure->selectSingleNode("DATABASE/REPORTOPTIONS");
        xml::Node opts = structure->selectSingleNode("DATABASE/DBOPTIONS");
        if (!ro || !opts) return false;
        xml::Document report, options;
        if (!report.loadXML(ro.xml()) || !options.loadXML(opts.xml())) return false;
        // The file keeps no secrets; when it describes the connection whose options are in use
        // (loaded from the project document), their connection string stays, secrets and all.
        blankSecrets(structure->documentElement());
        blankSecrets(options.documentElement());
        xml::Document inUse;
        xml::Node loaded = options.selectSingleNode("DBOPTIONS/CONNECTIONSTRING");
        if (loaded && inUse.loadXML(dbOptions_.xml())) {
            blankSecrets(inUse.documentElement());
            xml::Node same = inUse.selectSingleNode("DBOPTIONS/CONNECTIONSTRING");
            if (same && same.xml() == loaded.xml()) {
                xml::Node kept = loaded.parent().appendChild(dbOptions_.selectSingleNode("DBOPTIONS/CONNECTIONSTRING"));
                loaded.parent().insertBefore(kept, loaded);
                loaded.remove();
            }
        }
        oResultXML = std::move(structure);
        reportOptions_ = std::move(report);
        dbOptions_ = std::move(options);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool cReport::LoadDBOptionsXML(const std::string& sDBOptionsXML) {
    if (importing_) return false;
    try {
        xml::Document doc;
        if (!doc.loadXML(sDBOptionsXML)) return false;  // the options stay as they were
        dbOptions_ = std::move(doc);
        const std::string idPath = "DBOPTIONS/MOREINFO/SERVER/@DBEngineId";
        if (hasAttr(dbOptions_, idPath)) CurrentDatabaseEngineId(parseInt16(attr(dbOptions_, idPath)).value_or(0));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool cReport::ClearRemovedDBInfo(const std::string& path) {
    if (importing_) return false;
    try {
        bool ok = true;
        // The path comes from the project document: only a file of the private temporary
        // folder is deleted.
        if (!path.empty() && files::fileExists(path) && files::isInside(path, files::privateTempFolder()))
            ok = files::removeFile(path) && ok;
        // The previews' work files, and those earlier versions left in the reports folder.
        for (const char* work : {"temp_print.html", "temp.html", "temp.xml", "tempwordcontent.html"}) {
            for (const std::string& p : {PreviewFilePath(work), files::joinPath(ReportsFolder, work)})
                if (files::fileExists(p)) ok = files::removeFile(p) && ok;
        }
        oResultXML.reset();
        return ok;
    } catch (const std::exception&) {
        return false;
    }
}

std::string cReport::GetDiagramFileName() {
    try {
        if (oStructures.isEmpty()) return {};
        xml::Node entry = oStructures.selectSingleNode(connectionPath(CurrentDatabaseGroup(), CurrentDatabaseNumber()));
        if (!entry) return {};
        std::string path = entry.attribute("DiagramFile");
        if (path.empty()) return {};
        if (files::extensionOf(path) == "xml") path = files::replaceExtension(path, ".jpg");
        return files::fileExists(path) ? path : std::string();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bRelationshipDiagram.GetDiagramFileName");
        return {};
    }
}
