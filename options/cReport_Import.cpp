// cReport: import dispatch, progress relay and filing a structure in the project document.
#include "options/cReport.h"

#include "core/bDBEngines.h"
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "import/cADODB.h"
#include "import/cADOX.h"
#include "import/cDAO.h"
#include "import/cDBSysQuery.h"
#include "options/ReaderSlots.h"
#include "options/ReportSupport.h"
#include "options/StructureVocabulary.h"
#include "options/cStructureFile.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/fs/Paths.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>

using namespace report_support;

namespace {

// Number of the objects at xpath, or "not available" when the reader did not read their kind.
std::string countOf(const xml::Document& doc, const char* xpath, const char* kind) {
    return vocab::objectsRead(doc, kind) ? std::to_string(doc.count(xpath)) : "not available";
}

// Marks an import as running for the lifetime of the object.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

// A new reader for an access technology; null when this build has none for it.
std::unique_ptr<StructureReader> createReader(const std::string& technology) {
    if (technology == "ADODB") return std::make_unique<cADODB>();
    if (technology == "ADOX") return std::make_unique<cADOX>();
    if (technology == "DAO") return std::make_unique<cDAO>();
    if (technology == "SYSQUERY") return std::make_unique<cDBSysQuery>();
    if (technology == "XML") return std::make_unique<cStructureFile>();
    return nullptr;
}

std::string groupPath(int g) { return "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]"; }

}  // namespace

bool cReport::OpenDalvDatabase() {
    if (importing_) return false;  // an import is running: nothing re-enters it
    BusyScope busy(importing_);
    cancelRequested_ = false;
    ui::restartPendingEvents();  // the window shows the start at once
    try {
        const std::string path =
            "DBENGINES/DBENGINE[@Id=" + xml::xpathLiteral(std::to_string(m_CurrentDatabaseEngineId)) + "]/@ConnectionType";
        if (!hasAttr(dbEngines_, path)) return false;
        ConnectionType = attr(dbEngines_, path);
        // The Access reader is the connection's own choice: the wizard's while it runs, else the
        // sort option stored with the connection (sorted columns come from the ADOX catalogue).
        if (EngineKindOf(m_CurrentDatabaseEngineId) == EngineKind::Access) {
            if (!AccessConnectionType.empty()) ConnectionType = AccessConnectionType;
            else if (SortTableStructure()) ConnectionType = "ADOX";
        }

        std::unique_ptr<StructureReader>* slot = nullptr;
        const char* arrow = "->";
        bool relay = true;
        if (ConnectionType == "SYSQUERY") {
            slot = &readers_->oFetchDBSysQuery;
            arrow = "-->";
        } else if (ConnectionType == "ADOX") {
            slot = &readers_->oFetchADOX;
            relay = false;  // the ADOX reader shows no progress; only a cancel is passed on
        } else if (ConnectionType == "ADODB") {
            slot = &readers_->oFetchADODB;
        } else if (ConnectionType == "DAO") {
            slot = &readers_->oFetchDAO;
            arrow = "-->";
        } else if (ConnectionType == "XML") {
            slot = &readers_->oFetchXML;
        } else {
            return false;
        }

        std::unique_ptr<StructureReader> reader = createReader(ConnectionType);
        if (!reader) {
            slot->reset();
            ui::MsgBox("The " + ConnectionType + " structure reader is not available in this version of " +
                           "Dalvane, so this database cannot be imported.",
                       ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return false;
        }
        if (ConnectionType == "XML")
            reader->ConnectionString = XMLFilePath().empty() ? DatabasePath() : XMLFilePath();
        else if (ConnectionType != "DAO")
            reader->ConnectionString = BuildConnectionString();
        if (ConnectionType == "ADODB") {
            // A string that cannot be read is bad input, and a file-based database is never
            // created by opening it.
            try {
                db::parseConnectionString(reader->ConnectionString);
            } catch (const db::Error& e) {
                slot->reset();  // no reader of an earlier connection stays to be imported
                ui::MsgBox(e.what(), ui::MsgButtons::OK, ui::MsgIcon::Critical);
                return false;
            }
            if (const std::string missing = db::missingDatabaseFile(reader->ConnectionString); !missing.empty()) {
                slot->reset();
                ui::MsgBox("The database file " + missing + " does not exist.", ui::MsgButtons::OK,
                           ui::MsgIcon::Critical);
                return false;
            }
        }
        if (auto* dao = dynamic_cast<cDAO*>(reader.get())) {
            dao->DatabasePath = DatabasePath();
            dao->AccessPassword = AccessDatabasePassword();
            dao->WorkgroupDatabase = WorkgroupDatabase();
            dao->UserName = UserName();
            dao->Password = Password();
            dao->DatabaseEngine = DatabaseEngine();
        }
        reader->DatabaseName = DatabaseName();
        if (auto* sysQuery = dynamic_cast<cDBSysQuery*>(reader.get())) {
            sysQuery->CurrentDatabaseEngineId = static_cast<std::int16_t>(m_CurrentDatabaseEngineId);
            sysQuery->DatabaseEngine = DatabaseEngine();
            sysQuery->DBServerName = DBServerName();
        }
        reader->ImportingDB = [this, arrow, relay](std::int32_t& Status, std::string& Message,
                                                   std::int16_t& IncrementValue, bool& Cancel) {
            if (relay) {
                relayProgress(Status, Message, IncrementValue, Cancel, arrow);
            } else {
                ui::processPendingEvents();
                if (cancelRequested_) Cancel = true;
            }
        };
        *slot = std::move(reader);
        return (*slot)->OpenDalvDatabase();
    } catch (const std::exception&) {
        return false;
    }
}

void cReport::CancelImport() {
    if (importing_) cancelRequested_ = true;
}

void cReport::relayProgress(long status, std::string& message, int incrementValue, bool& cancel,
                            const char* arrow) {
    try {
        ui::processPendingEvents();
        message = replaceAll(message, "___", arrow);
        if (ui::ProgressTarget* target = ui::activeProgressTarget()) {
            switch (status) {
            case 1: target->StartProgress(message, incrementValue); break;
            case 2:
            case 3: target->IncrementProgress(message, incrementValue); break;
            case 4: target->StopProgress(message); break;
            default: break;
            }
            target->setStatusText(message);
        }
    } catch (...) {
        // progress is best effort; the reader goes on
    }
    // A cancel asked for (also from the window while it was updated) is honoured, never cleared.
    if (cancelRequested_) cancel = true;
}

bool cReport::FetchDatabaseStructure() {
    StructureReader* reader = nullptr;
    if (ConnectionType == "SYSQUERY") reader = readers_->oFetchDBSysQuery.get();
    else if (ConnectionType == "ADOX") reader = readers_->oFetchADOX.get();
    else if (ConnectionType == "ADODB") reader = readers_->oFetchADODB.get();
    else if (ConnectionType == "DAO") reader = readers_->oFetchDAO.get();
    else if (ConnectionType == "XML") reader = readers_->oFetchXML.get();
    else return false;
    if (!reader) throw std::runtime_error("No structure reader has been opened for " + ConnectionType + ".");
    if (!reader->GenerateXML()) return false;  // a cancelled or failed import keeps the current structure
    oResultXML = std::make_shared<xml::Document>(std::move(reader->oResultXML));
    return true;
}

std::string TreeKeyName(const std::string& name) {
    std::string key = name;
    std::replace(key.begin(), key.end(), '|', '_');
    return key;
}

xml::Node cReport::AddNewGroupName(const std::string& name) {
    try {
        xml::Node root = oStructures.selectSingleNode("DATABASESTRUCTURES");
        if (!root) return {};
        const int g = root.count("DATABASEGROUP") + 1;
        CurrentDatabaseGroup(g);
        std::string key;
        for (char c : name)
            if (c != ' ') key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        xml::Node folder = root.appendElement("DATABASEGROUP");
        folder.setAttribute("Name", name);
        folder.setAttribute("Key", TreeKeyName(key) + "|" + std::to_string(g));
        folder.setAttribute("CreatedOn", FormatShortDate());
        folder.setAttribute("RHXPath", groupPath(g) + "/DATABASECONNECTION");
        folder.setAttribute("Display", "1");
        folder.setAttribute("TreeImage", "DATABASEGROUP");
        folder.setAttribute("ContextMenu", "ID_DBGroupNode");
        return folder;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.AddNewGroupName");
        return {};
    }
}

bool cReport::ImportDatabase(bool AddAsNew) {
    if (importing_) return false;  // an import is running: nothing re-enters it
    BusyScope busy(importing_);
    ui::restartPendingEvents();  // the window shows the start at once
    try {
        if (!FetchDatabaseStructure()) return false;
        const bool project = !oStructures.isEmpty();
        if (project) {
            xml::Node folder = oStructures.selectSingleNode(groupPath(CurrentDatabaseGroup()));
            if (!folder && oStructures.count("DATABASESTRUCTURES/DATABASEGROUP") == 0) {
                folder = AddNewGroupName("Dalvane Folder");
                if (!folder) return false;
            }
            if (AddAsNew) {
                if (!folder) return false;
                CurrentDatabaseNumber(folder.childCount() + 1);
            }
        }
        xml::Node database = oResultXML->selectSingleNode("DATABASE");
        if (!database) throw std::runtime_error("The structure document has no DATABASE element.");
        database.setAttribute("DatabaseName", DatabaseName());
        // What kind of database the structure describes; checked when a saved structure file is
        // opened again. A re-imported structure file keeps the facts of its own database.
        const bool structureFile = ConnectionType == "XML";
        const std::pair<const char*, std::string> facts[] = {
            {"DatabaseEngine", DatabaseEngine()},
            {"ServerType", CurrentDatabaseEngineName()},
            {"DatabaseType", std::to_string(CurrentDatabaseEngineId())},
        };
        for (const auto& [name, value] : facts)
            if (!structureFile || !database.hasAttribute(name)) database.setAttribute(name, value);
        if (xml::Node opts = dbOptions_.documentElement()) database.appendChild(opts);
        blankSecrets(database);  // a structure file's own options included
        ReportSummary();
        if (xml::Node ro = reportOptions_.selectSingleNode("REPORTOPTIONS")) database.appendChild(ro);
        if (project && !BuildConnectionTreeEntry()) return false;
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cReport.ImportDatabase");
        return false;
    }
}

void cReport::ReportSummary() {
    try {
        xml::Node ro = reportOptions_.selectSingleNode("REPORTOPTIONS");
        if (!ro) throw std::runtime_error("The report options have no REPORTOPTIONS element.");
        // The summary of an earlier import would come first and be read instead of this one.
        for (xml::Node old : ro.selectNodes("SUMMARY")) old.remove();
        const xml::Document& doc = *oResultXML;
        xml::Node s = ro.appendElement("SUMMARY");
        s.setAttribute("CreatedOn", FormatShortDate());
        s.setAttribute("ServerName", DBServerName());
        s.setAttribute("DatabaseName", DatabaseName());
        s.setAttribute("TablesCount", std::to_string(doc.count("/DATABASE/TABLE")));
        s.setAttribute("ViewsCount", std::to_string(doc.count("/DATABASE/VIEW")));
        s.setAttribute("StoredProceduresCount", countOf(doc, "/DATABASE/STOREDPROCEDURE", "STOREDPROCEDURE"));
        s.setAttribute("TriggersCount", countOf(doc, "/DATABASE/TABLE/TRIGGER", "TRIGGER"));
        s.setAttribute("IndexesCount", std::to_string(doc.count("/DATABASE/TABLE/INDEX")));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cReport.ReportSummary");
    }
}

std::string cReport::GenerateSummary() {
    try {
        if (!oResultXML) throw std::runtime_error("No structure document is loaded.");
        const xml::Document& doc = *oResultXML;
        const char* crlf = "\r\n";
        std::string s;
        s += "Report create on : " + FormatShortDate() + crlf;
        s += "Server Name: " + DBServerName() + crlf;
        s += "Database Name: " + DatabaseName() + crlf;
        s += "Number of Tables: " + std::to_string(doc.count("/DATABASE/TABLE")) + crlf;
        s += "Number of Views: " + std::to_string(doc.count("/DATABASE/VIEW")) + crlf;
        s += "Number of Stored procedures: " + countOf(doc, "/DATABASE/STOREDPROCEDURE", "STOREDPROCEDURE") + crlf;
        s += "Number of Triggers: " + countOf(doc, "/DATABASE/TABLE/TRIGGER", "TRIGGER") + crlf;
        s += std::string(vocab::uniqueIndexesOnly(doc) ? "Number of Unique Indexes: " : "Number of Indexes: ") +
             std::to_string(doc.count("/DATABASE/TABLE/INDEX")) + crlf;
        return s;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cReport.GenerateSummary");
        return {};
    }
}

bool cReport::BuildConnectionTreeEntry() {
    try {
        xml::Node folder = oStructures.selectSingleNode(groupPath(CurrentDatabaseGroup()));
        if (!folder) {
            folder = AddNewGroupName("Dalvane Folder");
            if (!folder) return false;
        }
        xml::Stylesheet sheet;
        if (!sheet.load(files::joinPath(StylesFolder, "GenerateLHXML.xsl"))) return false;

        // The entry is filed where the current numbers point; when the connection number names
        // no entry it is appended, and the numbers follow it so that they name the new entry.
        const int g = folder.selectNodes("preceding-sibling::DATABASEGROUP").size() + 1;
        const int n = CurrentDatabaseNumber();
        xml::Node old = n >= 1 ? folder.selectSingleNode("DATABASECONNECTION[" + std::to_string(n) + "]") : xml::Node();
        const int position = old ? n : folder.count("DATABASECONNECTION") + 1;
        if (g != CurrentDatabaseGroup()) CurrentDatabaseGroup(g);
        if (position != n) CurrentDatabaseNumber(position);

        xml::XsltParams params{{"Group", std::to_string(g)},
                               {"Connection", std::to_string(position)},
                               {"ConnectionString", connectionString_},
                               {"CreatedBy", CurrentUser}};
        // The window stays alive meanwhile: while an import runs, nothing it does reads the new
        // structure. The entry is made as a document, never written out and parsed again.
        xml::Document entryDoc;
        bool made = false;
        ui::runLettingEventsRun([&] { made = sheet.transform(*oResultXML, entryDoc, params); });
        if (!made) return false;
        xml::Node entry = entryDoc.selectSingleNode("DATABASECONNECTION");
        if (!entry) return false;
        xml::Node opts = dbOptions_.documentElement();
        if (!opts) return false;
        entry.appendChild(opts).setAttribute("Display", "0");

        if (old) {
            if (old.hasAttribute("DiagramFile")) entry.setAttribute("DiagramFile", old.attribute("DiagramFile"));
            xml::Node added = folder.insertBefore(entry, old);
            if (!added) return false;
            old.remove();
            return true;
        }
        return !folder.appendChild(entry).isNull();
    } catch (...) {
        return false;
    }
}
