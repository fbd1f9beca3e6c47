#include "reports/bBatchFile.h"

#include "core/bDBEngines.h"
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "platform/xml/Xml.h"

#include <exception>
#include <filesystem>
#include <system_error>

namespace batchfile {

namespace {

void append(xml::Node parent, const char* name, const std::string& value) { parent.appendElement(name).setText(value); }

// The DATABASE entry of the current connection, from the report engine.
void appendDatabase(xml::Node root, const Outputs& out) {
    cReport& r = *oReportEngine;
    const int engine = r.CurrentDatabaseEngineId();
    const EngineKind kind = EngineKindOf(engine);
    const bool access = kind == EngineKind::Access;
    xml::Node db = root.appendElement("DATABASE");
    append(db, "ENGINE", std::to_string(engine));
    append(db, "SERVERNAME", r.DBServerName());
    append(db, "DATABASENAME", r.DatabasePath());
    // The run reads the file of engines 8-10 and 13 from DBNAME and engine 12's connection
    // from CONNECTIONSTRING, so the entry carries them too.
    if (access || kind == EngineKind::DalvaneXML) append(db, "DBNAME", r.DatabasePath());
    if (kind == EngineKind::Others) append(db, "CONNECTIONSTRING", r.ConnectionString());
    xml::Node auth = db.appendElement("AUTHENTICATION");
    auth.setAttribute("Mode", r.AuthenticationMode());
    if (access) {
        xml::Node acc = db.appendElement("ACCESSDB");
        append(acc, "DATABASEPASSWORD", r.AccessDatabasePassword());
        xml::Node sys = acc.appendElement("SYSTEMDATABASE");
        sys.setAttribute("Name", r.WorkgroupDatabase());
        append(sys, "USERNAME", r.UserName());
        append(sys, "PASSWORD", r.Password());
    } else {
        append(auth, "USERNAME", r.UserName());
        append(auth, "PASSWORD", r.Password());
    }
    xml::Node reports = db.appendElement("REPORTS");
    xml::Node html = reports.appendElement("REPORT");
    html.setAttribute("Format", "HTML");
    html.setAttribute("Path", out.HTMLPath);
    html.setAttribute("FileName", r.DatabaseName() + ".html");
    html.setAttribute("ObjectsPerPage", std::to_string(r.HTML_ObjectsPerPage()));
    html.setAttribute("CSSFileName", r.HTML_CurrentCSS());
    auto fileReport = [&](const char* format, const std::string& file) {
        xml::Node rep = reports.appendElement("REPORT");
        rep.setAttribute("Format", format);
        rep.setAttribute("Path", file.find('/') == std::string::npos ? std::string() : files::parentFolder(file));
        rep.setAttribute("FileName", files::fileName(file));
        return rep;
    };
    fileReport("XML", out.XMLFileName);
    xml::Node word = fileReport("WORD", out.WordFileName);
    word.setAttribute("ObjectsPerPage", std::to_string(r.WORD_ObjectsPerPage()));
    word.setAttribute("IntroDocument", r.Word_IntroDocument());
}

bool refuse(const std::string& message) {
    ui::MsgBox(message, ui::MsgButtons::OK, ui::MsgIcon::Information);
    return false;
}

}  // namespace

std::string shellQuoted(std::string_view text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

std::string documentPathFor(const std::string& batchFile) {
    const std::string doc = files::replaceExtension(batchFile, ".xml");
    return doc == batchFile ? std::string() : doc;
}

bool BatchProcessFile(std::string& batchFile, const Outputs& outputs) {
    try {
        cReport& r = *oReportEngine;
        xml::Document doc;
        xml::Node root = doc.createRoot("DALVIMPORT");
        const std::string connection = "/DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(r.CurrentDatabaseGroup()) +
                                       "]/DATABASECONNECTION[" + std::to_string(r.CurrentDatabaseNumber()) + "]";
        const xml::Node entry = oStructures.selectSingleNode(connection);
        appendDatabase(root, outputs);

        const std::string batchFolder = files::joinPath(ReportsFolder, "Batch Process");
        if (!files::folderExists(batchFolder)) files::createFolders(batchFolder);
        if (batchFile.empty()) {
            const std::string base = entry ? entry.attribute("Name") : r.DatabaseName();
            if (base.empty() || base.find('/') != std::string::npos)
                return refuse("Please give a valid file name and try again.");
            batchFile = files::joinPath(batchFolder, base + ".sh");
        }
        const std::string xmlFile = documentPathFor(batchFile);
        if (xmlFile.empty() || files::fileName(batchFile).empty() || files::folderExists(batchFile))
            return refuse("Please give a valid file name and try again.");
        if (!files::folderExists(files::parentFolder(batchFile)))
            return refuse("The filename, directory name, or volume label syntax is not supported.");

        // Both files hold the connection's password.
        if (!files::writeTextFile(xmlFile, doc.xml(), true))
            return refuse("You dont have permission to save the xml in the selected folder.");
        const std::string script =
            "#!/bin/sh\nexec " + shellQuoted(files::joinPath(AppFolder, "dalvane")) + " " + shellQuoted(xmlFile) + "\n";
        std::error_code ec;
        if (!files::writeTextFile(batchFile, script, true) ||
            (std::filesystem::permissions(batchFile, std::filesystem::perms::owner_all,
                                          std::filesystem::perm_options::replace, ec),
             ec)) {
            files::removeFile(xmlFile);
            return refuse("You dont have permission to save the xml in the selected folder.");
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bGlobal.BatchProcessFile");
        return false;
    }
}

}  // namespace batchfile
