// Batch run: one pass over a batch document, importing each listed database through the report
// engine and writing the reports it asks for. Prints one line per entry on stdout.
#include "reports/bHandleCMD_Batch.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "options/cReport.h"
#include "options/cStructureFile.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Unanswered.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "reports/bXMLSupport.h"
#include "reports/cWord.h"
#include "platform/text/Text.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace bHandleCMD {

xml::Document oBatchDocument;
xml::Node oBatchDatabase;
std::string BatchPath;

namespace {

// A failure carrying the error number that picks its message.
using BatchError = files::FileError;

constexpr long kObjectNotSet = 91;

// How long one request may wait for the database's answer before the run is given up.
constexpr double kUnansweredSeconds = 60;

// kUnansweredSeconds, or DALVANE_UNANSWERED_SECONDS when that is a positive number of seconds.
double unansweredSeconds() {
    const char* given = std::getenv("DALVANE_UNANSWERED_SECONDS");
    if (!given || !*given) return kUnansweredSeconds;
    char* end = nullptr;
    const double seconds = std::strtod(given, &end);
    return *end == '\0' && seconds > 0 && seconds <= 86400 ? seconds : kUnansweredSeconds;
}

// The entry being run and the result it gets when its database leaves a request unanswered.
// Entry lines are printed under the lock, which the routine that gives the run up keeps.
struct Awaited {
    std::mutex m;
    int entry = 0;
    EntryResult ifGivenUp;
} awaited;

void ifUnanswered(const EntryResult& r) {
    std::lock_guard lock(awaited.m);
    awaited.ifGivenUp = r;
}

// Prints the current entry's line and ends the process: the driver call that waits cannot be
// ended. Reports are only ever renamed into place when whole, so none is left half-written.
[[noreturn]] void giveUpRun(double seconds) {
    awaited.m.lock();
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", seconds);
    EntryResult r = awaited.ifGivenUp;
    r.Message += " (the database did not answer within " + std::string(limit) + " seconds)";
    std::cout << FormatEntryLine(awaited.entry, r) << std::endl;
    std::cerr << ApplicationTitle << ": the batch run is given up at DATABASE " << awaited.entry
              << ", whose database did not answer within " << limit << " seconds; later entries are not run"
              << std::endl;
    files::removePrivateTempFolder();
    std::_Exit(1);
}

// The text shown for an error number the run knows; "" for any other.
std::string knownErrorText(long number, const std::string& reason = {}) {
    return files::fileErrorText(number, "You dont have permission to save the xml in the selected folder.", reason);
}

// Shows the message of a known error number, else passes the error to HandleError.
void reportError(long number, const std::string& description, const std::string& source) {
    const std::string text = knownErrorText(number, description);
    if (!text.empty()) ui::MsgBox(text, ui::MsgButtons::OK, ui::MsgIcon::Information);
    else HandleError(number, description, source);
}

cReport& engine() {
    if (!oReportEngine) throw BatchError(kObjectNotSet, "Object variable or With block variable not set");
    return *oReportEngine;
}

// The text of a child of the current entry; nullopt when it is missing.
std::optional<std::string> entryText(const std::string& xpath) {
    xml::Node n = oBatchDatabase.selectSingleNode(xpath);
    if (!n) return std::nullopt;
    return n.text();
}

// Base name of a file path: the last component without its extension (the whole component
// when it has no '.').
std::string baseName(const std::string& path) {
    std::string name = files::fileName(files::normalizeSeparators(path));
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// Engine id of an ENGINE text: decimal digits naming an entry of the engine catalogue.
std::optional<int> engineId(const std::string& text, const cReport& r) {
    const std::string t = text::trim(text);
    if (t.empty() || t.size() > 4 || !std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    const int id = std::stoi(t);
    if (!r.DBEnginesXML().selectSingleNode("DBENGINES/DBENGINE[@Id=" + xml::xpathLiteral(std::to_string(id)) + "]"))
        return std::nullopt;
    return id;
}

// Name shown for an engine-12 entry: DATABASENAME when given, else the database, catalogue or
// file the connection string names.
std::string othersDatabaseName(const std::string& connectionString) {
    if (auto given = entryText("DATABASENAME"); given && !text::trim(*given).empty()) return text::trim(*given);
    return db::databaseNameOf(connectionString);
}

// Nothing of the previous entry survives into this one: server, database, login, string and
// structure are cleared after the engine's parameters were restored from the catalogue.
void clearConnectionFields(cReport& r) {
    r.DBServerName("");
    r.DatabasePath("");
    r.DatabaseName("");
    r.AuthenticationMode("");
    r.ConnectionString("");
    r.SortTableStructure(false);
    r.oResultXML.reset();
}

// Stem of default report names and folders.
std::string reportStem(const cReport& r) {
    std::string name = r.DatabaseName();
    if (text::trim(name).empty()) name = r.DBServerName();
    if (text::trim(name).empty()) name = "Database";
    return bXMLSupport::HtmlFileStem(name);
}

std::string defaultReportFolder(const cReport& r) { return files::joinPath(ReportsFolder, reportStem(r) + "report"); }

// Creates folder when missing and checks that files can be written into it. what names the
// folder in the message of a failure.
void prepareFolder(const std::string& folder, const std::string& what = {}) {
    namespace sfs = std::filesystem;
    if (folder.empty()) throw BatchError(files::kBadFileName, "No folder given.");
    const std::string named = what.empty() ? folder : what + " " + folder;
    std::error_code ec;
    if (!sfs::is_directory(folder, ec)) {
        sfs::create_directories(folder, ec);
        if (ec) throw BatchError(files::errorNumberOf(ec.value()), "Cannot create " + named + ": " + ec.message());
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw BatchError(files::errorNumberOf(errno), "Cannot write into " + named);
}

// One DATABASE entry. leaveLoop is set for the failures that end the run.
EntryResult runEntry(bool& leaveLoop) {
    cReport& r = engine();
    xml::Node engineNode = oBatchDatabase.selectSingleNode("ENGINE");
    if (!engineNode) {
        leaveLoop = true;
        return {BatchNoEngine, "Database engine type not specified in " + BatchPath};
    }
    const std::optional<int> id = engineId(engineNode.text(), r);
    if (!id) return {BatchNoEngine, "Database engine type \"" + text::trim(engineNode.text()) + "\" is not known in " + BatchPath};
    r.CurrentDatabaseEngineId(*id);
    if (!r.ResetConnectionString())
        return {BatchNoEngine, "Database engine type \"" + text::trim(engineNode.text()) + "\" is not known in " + BatchPath};
    clearConnectionFields(r);

    // The file of engines 8-10 and 13, under either name the batch documents use.
    auto fileText = []() {
        auto t = entryText("DBNAME");
        return t ? t : entryText("DATABASENAME");
    };

    if (*id >= 8 && *id <= 10) {
        const auto file = fileText();
        if (!file) {
            leaveLoop = true;
            return {BatchNoDatabaseFile, "Database name not specified in " + BatchPath};
        }
        r.DatabasePath(text::trim(*file));
        r.DatabaseName(baseName(r.DatabasePath()));
        if (auto v = entryText("ACCESSDB/DATABASEPASSWORD"); v && !v->empty()) r.AccessDatabasePassword(*v);
        if (xml::Node n = oBatchDatabase.selectSingleNode("ACCESSDB/SYSTEMDATABASE/@Name"); n && !n.text().empty())
            r.WorkgroupDatabase(text::trim(n.text()));
        if (auto v = entryText("ACCESSDB/SYSTEMDATABASE/USERNAME"); v && !v->empty()) r.UserName(text::trim(*v));
        if (auto v = entryText("ACCESSDB/SYSTEMDATABASE/PASSWORD"); v && !v->empty()) r.Password(text::trim(*v));
        if (auto v = entryText("ACCESSDB/SYSTEMDATABASE/SORTCOLUMNSALPHABETICALLY"); v && !text::trim(*v).empty()) {
            const std::string t = text::upper(text::trim(*v));
            const bool number = std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c) || c == '-'; });
            r.SortTableStructure(t == "TRUE" || (number && t.find_first_not_of("-0") != std::string::npos));
        }
    } else if (*id == 13) {
        r.ConnectionString("XML");
        const auto file = fileText();
        if (!file) {
            leaveLoop = true;
            return {BatchNoDatabaseFile, "XML file to imported is not specified in " + BatchPath};
        }
        r.DatabasePath(*file);
        r.DatabaseName(baseName(*file));
        // The structure file passes the check the connection wizard makes.
        std::string content;
        if (!files::readTextFile(*file, content))
            return {BatchNotImported, "Failed to create XML for database: " + r.DatabaseName() + " (" + *file +
                                          " cannot be read)"};
        xml::Document structure;
        std::string fault;
        if (!ValidateXML(*file, content, false, "xml", &structure) ||
            !(fault = cStructureFile::UnnamedObject(structure)).empty())
            return {BatchNotImported, "Failed to create XML for database: " + r.DatabaseName() +
                                          " (Invalid dalvane structure file: " + *file +
                                          (fault.empty() ? std::string() : ": " + fault) + ")"};
    } else if (*id == 12) {
        const auto cs = entryText("CONNECTIONSTRING");
        if (!cs || text::trim(*cs).empty()) {
            leaveLoop = true;
            return {BatchNoConnectString, "Connectstring should be specified if the database engine is other than the one support by  " +
                                              VersionRecord.ProductTitle + " " + VersionRecord.EditionName};
        }
        r.ConnectionString(*cs);
        r.DatabaseName(othersDatabaseName(*cs));
    } else {
        // An entry whose connection details are incomplete is not connected at all.
        EntryResult stored = StoreDBInfo();
        if (stored.Code != BatchOK) return stored;
    }

    // Reports are read from REPORTS only: a REPORT anywhere else would be skipped without a word.
    if (const std::size_t stray = oBatchDatabase.selectNodes(".//REPORT[not(parent::REPORTS)]").size())
        return {BatchReportFailed, std::to_string(stray) + " REPORT element" + (stray == 1 ? " is" : "s are") +
                                       " not inside REPORTS in " + BatchPath + ": the entry is not run"};

    const std::string unable = "Unable to connect to database: " + r.DatabaseName();
    if (!GetConnectionString()) return {BatchNoPassword, unable};
    ifUnanswered({BatchNoPassword, unable});
    TakeWarnings();
    if (!r.OpenDalvDatabase()) return {BatchNoPassword, unable};
    const std::string notImported = "Failed to create XML for database: " + r.DatabaseName();
    ifUnanswered({BatchNotImported, notImported});
    if (!r.ImportDatabase(false)) return {BatchNotImported, notImported};
    const std::vector<std::string> warnings = TakeWarnings();
    std::string failure;
    if (!SaveReport(&failure)) return {BatchReportFailed, failure};
    if (warnings.empty()) return {BatchOK, "Database imported successfully"};
    // What was left out is named: the first warning here, all of them on the error output.
    const std::size_t n = warnings.size();
    return {BatchOK,
            "Database imported successfully, with " + std::to_string(n) + (n == 1 ? " warning: " : " warnings: ") +
                warnings.front() + (n == 1 ? std::string() : "; " + std::to_string(n - 1) + " more on the error output"),
            n};
}

// Result text of an entry stopped by an unexpected error.
std::string failedEntry(const std::string& what) {
    const std::string name = oReportEngine ? oReportEngine->DatabaseName() : std::string();
    return "Failed to create XML for database: " + name + " (" + what + ")";
}

}  // namespace

EntryResult StoreDBInfo() {
    try {
        cReport& r = engine();
        const std::string in = " in " + BatchPath;
        const auto server = entryText("SERVERNAME");
        if (!server || text::trim(*server).empty())
            return {BatchNoServer, "Server name is not given for SQL Server database connection" + in};
        r.DBServerName(text::trim(*server));

        const auto database = entryText("DATABASENAME");
        const int id = r.CurrentDatabaseEngineId();
        if (!database || (id >= 1 && id <= 3 && text::trim(*database).empty()))
            return {BatchNoDatabase, "Database name not given for the connection" + in};
        r.DatabasePath(*database);
        r.DatabaseName(r.DatabasePath());

        xml::Node mode = oBatchDatabase.selectSingleNode("AUTHENTICATION/@Mode");
        const std::string modeText = mode ? text::upper(text::trim(mode.text())) : std::string();
        if (modeText != "WINDOWS" && modeText != "SQL" && modeText != "ORACLE" && modeText != "IBMDB2")
            return {BatchNoAuthentication, "Authentication mode is not specified" + in};
        r.AuthenticationMode(modeText);

        if (modeText != "WINDOWS") {
            const auto user = entryText("AUTHENTICATION/USERNAME");
            if (!user || text::trim(*user).empty())
                return {BatchNoUser, "User name is not provided for SQL authentication" + in};
            r.UserName(text::trim(*user));
            const auto password = entryText("AUTHENTICATION/PASSWORD");
            if (!password) return {BatchNoPassword, "Password not provided for SQL authentication" + in};
            r.Password(*password);
        }
        return {BatchOK, ""};
    } catch (const BatchError& e) {
        reportError(e.number, e.what(), "bGlobal.StoreDBInfo");
        return {BatchNoServer, std::string("Connection details could not be read from ") + BatchPath};
    } catch (const std::exception& e) {
        reportError(-1, e.what(), "bGlobal.StoreDBInfo");
        return {BatchNoServer, std::string("Connection details could not be read from ") + BatchPath};
    }
}

std::string GetSQLServerConnStr() {
    try {
        const cReport& r = engine();
        if (r.AuthenticationMode() == "WINDOWS")
            return db::buildConnectionString({{"Provider", "SQLOLEDB"},
                                              {"Persist Security Info", "False"},
                                              {"Integrated Security", "SSPI"},
                                              {"Initial Catalog", r.DatabaseName()},
                                              {"Data Source", r.DBServerName()}});
        return db::buildConnectionString({{"Provider", "SQLOLEDB"},
                                          {"User Id", r.UserName()},
                                          {"password", r.Password()},
                                          {"Initial Catalog", r.DatabaseName()},
                                          {"Data Source", r.DBServerName()}});
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "GetSQLServerConnStr");
        return {};
    }
}

std::string GetOracleConnStr() {
    try {
        const cReport& r = engine();
        const std::string provider = r.CurrentDatabaseEngineId() == 7 ? "MSDAORA.1" : "OraOLEDB.Oracle";
        if (r.AuthenticationMode() == "WINDOWS")
            return db::buildConnectionString({{"Provider", provider},
                                              {"Integrated Security", "SSPI"},
                                              {"Persist Security Info", "False"},
                                              {"Data Source", r.DBServerName()},
                                              {"ChunkSize", "150000"}});
        // An empty server leaves out Data Source (buildConnectionString drops empty values).
        return db::buildConnectionString({{"Provider", provider},
                                          {"User Id", r.UserName()},
                                          {"password", r.Password()},
                                          {"Persist Security Info", "False"},
                                          {"Data Source", r.DBServerName()},
                                          {"ChunkSize", "150000"}});
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "GetOracleConnStr");
        return {};
    }
}

std::string GetAccessConnStr() {
    try {
        const cReport& r = engine();
        db::ConnectionParameters params{{"Provider", "Microsoft.Jet.OLEDB.4.0"}};
        if (!r.AccessDatabasePassword().empty())
            params.emplace_back("Jet OLEDB:Database Password", r.AccessDatabasePassword());
        if (!r.WorkgroupDatabase().empty()) {
            params.emplace_back("Jet OLEDB:System Database", r.WorkgroupDatabase());
            params.emplace_back("User ID", r.UserName());
            params.emplace_back("Password", r.Password());
        }
        params.emplace_back("Data Source", r.DatabasePath());
        return db::buildConnectionString(params);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "GetAccessConnStr");
        return {};
    }
}

std::string GetOthersConnStr() {
    try {
        return text::trim(engine().ConnectionString());
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "GetOthersConnStr");
        return {};
    }
}

std::string GetIBMDB2connStr() {
    try {
        const cReport& r = engine();
        return db::buildConnectionString({{"Provider", "IBMDADB2.1"},
                                          {"User ID", r.UserName()},
                                          {"Password", r.Password()},
                                          {"Data Source", r.DatabaseName()},
                                          {"Persist Security Info", "False"}});
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "GetIBMDB2connStr");
        return {};
    }
}

bool GetConnectionString() {
    try {
        cReport& r = engine();
        const int id = r.CurrentDatabaseEngineId();
        if (id == 13) return true;
        std::string cs;
        if (id >= 1 && id <= 3) cs = GetSQLServerConnStr();
        else if (id >= 4 && id <= 7) cs = GetOracleConnStr();
        else if (id >= 8 && id <= 10) cs = GetAccessConnStr();
        else if (id == 11) cs = GetIBMDB2connStr();
        else if (id == 12) cs = GetOthersConnStr();
        else return false;
        r.ConnectionString(cs);
        return !cs.empty();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "GetConnectionString");
        return false;
    }
}

bool SaveAsWordDocument(const std::string& target) {
    try {
        cReport& r = engine();
        std::string text;
        if (!r.ApplyXSL(files::joinPath(StylesFolder, "WordFormat1.xsl"), false, &text)) return false;
        cWord word(&r);
        return word.GenerateWordDocument(text, target);
    } catch (const BatchError& e) {
        reportError(e.number, e.what(), "bHandleCMD.SaveAsWordDocument");
        return false;
    } catch (const std::exception& e) {
        reportError(-1, e.what(), "bHandleCMD.SaveAsWordDocument");
        return false;
    }
}

bool SaveReport(std::string* failure) {
    bool allWritten = true;
    auto fail = [&](const std::string& message) {
        if (allWritten && failure) *failure = message;
        allWritten = false;
    };
    std::string folder;  // carried to a REPORT without Path
    cReport& r = engine();
    // Each report of the entry is tried on its own: one failing does not skip the others.
    for (const xml::Node& report : oBatchDatabase.selectNodes("REPORTS/REPORT")) {
        if (!report.hasAttribute("Format")) continue;
        const std::string format = text::upper(text::trim(report.attribute("Format")));
        std::string target;
        try {
            bool defaultFolder = false;
            if (report.hasAttribute("Path")) {
                const std::string path = report.attribute("Path");
                defaultFolder = text::trim(path).empty();
                folder = defaultFolder ? defaultReportFolder(r) : files::normalizeSeparators(path);
            } else if (folder.empty()) {
                defaultFolder = true;
                folder = defaultReportFolder(r);
            }
            // The report root is made only for a report that names no folder of its own.
            if (defaultFolder) {
                target = folder;
                prepareFolder(folder, "the default report folder (the report names no Path)");
            }

            const bool pageFolder = format != "XML" && format != "WORD" && r.HTML_ObjectsPerPage() > 1;
            if (pageFolder) {
                target = folder.back() == '/' ? folder : folder + "/";
            } else {
                std::string name = report.attribute("FileName");
                if (text::trim(name).empty())
                    name = reportStem(r) + (format == "XML" ? ".xml" : format == "WORD" ? ".docx" : ".html");
                target = files::joinPath(folder, name);
                // A report never lands outside its folder.
                if (!files::isPlainFileName(name))
                    throw BatchError(files::kBadFileName, "The file name \"" + name + "\" is not a plain file name");
            }

            files::clearLastWriteError();
            const std::string unable = "Unable to save the " + format + " report " + target;
            auto unableWithReason = [&] {
                return files::lastWriteError().empty() ? unable : unable + ": " + files::lastWriteError();
            };
            if (format == "HTML") {
                if (bXMLSupport::SaveAsHTML(target, r.HTML_MultipleHTMLs()).empty()) {
                    ui::MsgBox("Unable to save HTML report");
                    // The pages are written on other threads: the export keeps their reason.
                    const std::string& why = bXMLSupport::LastFailure();
                    fail(why.empty() ? unableWithReason() : unable + ": " + why);
                }
            } else if (format == "XML") {
                prepareFolder(files::parentFolder(target));
                const files::LinksRefused noLinks;  // a link at the report's name is not written through
                if (!r.SaveXML(target, false, false)) fail(unableWithReason());
            } else if (format == "WORD") {
                prepareFolder(files::parentFolder(target));
                const files::LinksRefused noLinks;
                if (!SaveAsWordDocument(target)) fail(unableWithReason());
            } else {
                fail("Report format \"" + format + "\" is not known in " + BatchPath);
            }
        } catch (const BatchError& e) {
            reportError(e.number, e.what(), "bHandleCMD.SaveReport");
            const std::string known = knownErrorText(e.number);
            fail("Unable to save the " + format + " report " + target + ": " +
                 (known.empty() ? e.what() : known + " (" + e.what() + ")"));
        } catch (const std::exception& e) {
            reportError(-1, e.what(), "bHandleCMD.SaveReport");
            fail("Unable to save the " + format + " report " + target + ": " + e.what());
        }
    }
    return allWritten;
}

std::string FormatEntryLine(int entry, const EntryResult& result) {
    return "DATABASE " + std::to_string(entry) + ": " + std::to_string(result.Code) + " " + result.Message;
}

}  // namespace bHandleCMD

BatchResult HandleBatchProcess(const std::string& path) {
    using namespace bHandleCMD;
    BatchResult result;
    int processed = 0;
    EntryResult last;
    EntryResult firstFailure, firstWarned;
    auto finishEntry = [&](int entry, const EntryResult& r) {
        std::lock_guard lock(awaited.m);
        std::cout << FormatEntryLine(entry, r) << std::endl;
        ++processed;
        if (r.Code != BatchOK && result.failures++ == 0) firstFailure = r;
        if (r.Code == BatchOK && r.Warnings > 0 && result.warned++ == 0) firstWarned = r;
        last = r;
    };
    try {
        BatchPath = path;
        oBatchDatabase = xml::Node();
        oBatchDocument.clear();
        engine();
        if (!files::fileExists(path) || !oBatchDocument.load(path) ||
            oBatchDocument.documentElement().name() != "DALVIMPORT") {
            const std::string reason = !files::fileExists(path) ? "the file does not exist"
                                       : !oBatchDocument.parseError().empty() ? oBatchDocument.parseError()
                                                                              : "its root element is not DALVIMPORT";
            std::cerr << path << ": " << reason << std::endl;
            oBatchDocument.clear();
            result.failures = 1;
            result.message = path + " could not be loaded";
            std::cout << "DALVIMPORT: " << BatchNotLoaded << " " << result.message << std::endl;
            return result;
        }
        const std::vector<xml::Node> databases = oBatchDocument.selectNodes("DALVIMPORT/DATABASE");
        if (databases.empty()) {
            oBatchDocument.clear();
            result.failures = 1;
            result.message = path + " lists no DATABASE entry";
            std::cout << "DALVIMPORT: " << BatchNotLoaded << " " << result.message << std::endl;
            return result;
        }
        const double seconds = unansweredSeconds();
        const db::UnansweredWatch unanswered(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)),
                                             [seconds] { giveUpRun(seconds); });
        int entry = 0;
        for (const xml::Node& database : databases) {
            oBatchDatabase = database;
            bool leaveLoop = false;
            EntryResult r;
            ++entry;
            {
                std::lock_guard lock(awaited.m);
                awaited.entry = entry;
                awaited.ifGivenUp = {BatchNotImported, "Failed to create XML for database"};
            }
            try {
                r = runEntry(leaveLoop);
            } catch (const BatchError& e) {
                reportError(e.number, e.what(), "bHandleCMD.HandleBatchProcess");
                r = {BatchNotImported, failedEntry(e.what())};
            } catch (const std::exception& e) {
                reportError(-1, e.what(), "bHandleCMD.HandleBatchProcess");
                r = {BatchNotImported, failedEntry(e.what())};
            }
            finishEntry(entry, r);
            if (leaveLoop) break;
        }
    } catch (const BatchError& e) {
        reportError(e.number, e.what(), "bHandleCMD.HandleBatchProcess");
        if (result.failures == 0) {
            result.failures = 1;
            firstFailure = {BatchNotLoaded, e.what()};
        }
        last = {BatchNotLoaded, e.what()};
    } catch (const std::exception& e) {
        reportError(-1, e.what(), "bHandleCMD.HandleBatchProcess");
        if (result.failures == 0) {
            result.failures = 1;
            firstFailure = {BatchNotLoaded, e.what()};
        }
        last = {BatchNotLoaded, e.what()};
    }
    oBatchDatabase = xml::Node();
    oBatchDocument.clear();
    result.success = result.failures == 0;
    result.message = !result.success ? std::to_string(result.failures) + " of " + std::to_string(processed) +
                                           " database entries failed; the first: " + firstFailure.Message
                     : result.warned > 0 ? std::to_string(result.warned) + " of " + std::to_string(processed) +
                                               " database entries imported with warnings; the first: " +
                                               firstWarned.Message
                                         : last.Message;
    return result;
}
