#include "core/bGlobal.h"

#include "core/bErrorHandler.h"
#include "core/bVersion.h"
#include "core/cDVUpdates.h"
#include "core/cGUID.h"
#include "core/cSystemInfo.h"
#include "platform/crypto/Crypto.h"
#include "platform/fs/Paths.h"
#include "platform/registry/cRegistry.h"
#include "platform/ui/Prompter.h"
#include "platform/text/Text.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

std::string AppFolder, StylesFolder, ImagesFolder, HelpFolder, PreviewFolder;
std::string ReportsFolder, DataFolder, DiagramFolder, TempFolder;
std::string OSName;
xml::Document oStructures;
xml::Document oHistory;
xml::Document oCustomizeColumns;
std::vector<std::string> EngineNames;
std::array<int, 14> EnginePanelMap{2, 0, 0, 0, 1, 1, 1, 1, 3, 3, 3, 2, 4, 5};
std::string PassPhrase1, PassPhrase2, PassPhrase3, PassPhrase4;
std::string ShortDateFormat;
std::string CurrentUser;
std::string DecimalSymbol = ".", DigitGroupingSymbol = ",";

std::unique_ptr<cRegistry> oRegistry;
std::unique_ptr<cSystemInfo> oSystemInfo;
std::unique_ptr<cGUID> oGUID;
std::unique_ptr<cDVUpdates> oWebService;
std::vector<std::unique_ptr<QProcess>> ProcessHandles;

namespace sfs = std::filesystem;

namespace {

// Resource folders live beside the executable in the build tree and under share/dalvane
// once installed.
std::string resourceFolder(const std::string& programFolder) {
    if (files::folderExists(files::joinPath(programFolder, "styles")) ||
        files::folderExists(files::joinPath(programFolder, "data")))
        return programFolder;
    std::string installed = files::joinPath(files::parentFolder(programFolder), "share/dalvane");
    return files::folderExists(installed) ? installed : programFolder;
}

bool makeFolder(const std::string& path, std::vector<std::string>* created, bool privateFolder = false) {
    if (files::folderExists(path)) return true;
    if (!files::createFolder(path)) return false;
    if (privateFolder) ::chmod(path.c_str(), 0700);
    if (created) created->push_back(path);
    return true;
}

void defaultEndProcess(int code) {
    std::fflush(nullptr);
    std::cerr.flush();
    files::removePrivateTempFolder();
    std::_Exit(code);
}
void (*endProcessHook)(int) = defaultEndProcess;
}  // namespace

std::string FormatShortDate() {
    QString fmt = ShortDateFormat.empty() ? QLocale().dateFormat(QLocale::ShortFormat)
                                          : QString::fromStdString(ShortDateFormat);
    return QDate::currentDate().toString(fmt).toStdString();
}

std::string PreviewFilePath(const std::string& name) {
    return files::joinPath(TempFolder.empty() ? files::privateTempFolder() : TempFolder, name);
}

// ---- start-up ------------------------------------------------------------------------

std::string ProgramFolder() {
    const char* env = std::getenv("DALVANE_APP_DIR");
    if (env && *env) return env;
    return files::executableFolder();
}

void SetProgramFolders() {
    AppFolder = ProgramFolder();
    std::string res = resourceFolder(AppFolder);
    StylesFolder = files::joinPath(res, "styles");
    ImagesFolder = files::joinPath(res, "images");
    HelpFolder = files::joinPath(res, "help");
    PreviewFolder = files::joinPath(res, "preview");
}

namespace {
// Record of the program copies last installed into the data folder, one "<sha256> <path>" line
// each: a copy that still has its recorded hash is the program's, any other was changed there.
constexpr const char* kInstalledRecord = ".installed-data";

// Files the user changes through the program; every other data file is the program's own.
bool userEditedDataFile(const std::string& relative) {
    return relative == "CustomizeColumns.xml" || relative == "dvreport.xml";
}

std::string sha256Of(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

std::map<std::string, std::string> readInstalledRecord(const std::string& folder) {
    std::map<std::string, std::string> record;
    std::string text;
    if (!files::readTextFile(files::joinPath(folder, kInstalledRecord), text)) return record;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(from, end - from);
        const size_t space = line.find(' ');
        if (space == 64) record[line.substr(space + 1)] = line.substr(0, space);
        from = end + 1;
    }
    return record;
}

bool writeInstalledRecord(const std::string& folder, const std::map<std::string, std::string>& record) {
    std::string text;
    for (const auto& [relative, hash] : record) text += hash + " " + relative + "\n";
    return files::writeTextFile(files::joinPath(folder, kInstalledRecord), text);
}

// A free name beside path for a copy kept aside: "<name>.<date-time>.bak".
std::string asideName(const std::string& path) {
    const std::string stem = path + "." + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
    std::string name = stem + ".bak";
    std::error_code ec;
    for (int n = 2; sfs::exists(sfs::symlink_status(name, ec)); ++n) name = stem + "-" + std::to_string(n) + ".bak";
    return name;
}

bool damagedXml(const std::string& path, const std::string& bytes) {
    if (files::extensionOf(path) != "xml") return false;
    xml::Document doc;
    return !doc.loadXML(bytes);
}
}  // namespace

bool InstallDataFiles(const std::string& source, const std::string& target, std::vector<std::string>* created,
                      std::vector<std::string>* notes) {
    std::error_code ec;
    if (!files::folderExists(source)) return true;
    const std::map<std::string, std::string> installed = readInstalledRecord(target);
    std::map<std::string, std::string> record = installed;
    bool ok = true;
    for (auto it = sfs::recursive_directory_iterator(source, ec); !ec && it != sfs::end(it); it.increment(ec)) {
        const std::string relative = it->path().lexically_relative(source).string();
        const std::string dest = files::joinPath(target, relative);
        if (it->is_directory(ec)) {
            ok = makeFolder(dest, created) && ok;
            continue;
        }
        std::string program;
        if (!it->is_regular_file(ec) || !files::readTextFile(it->path().string(), program)) continue;
        const std::string programHash = sha256Of(program);
        const auto last = installed.find(relative);

        std::string mine;
        const bool present = sfs::exists(sfs::symlink_status(dest, ec));
        if (present && !files::readTextFile(dest, mine)) {
            ok = false;  // there but unreadable: neither used nor replaced
            continue;
        }
        const std::string mineHash = present ? sha256Of(mine) : std::string();
        if (present && mineHash == programHash) {
            record[relative] = programHash;
            continue;
        }
        // A copy other than the last one installed was changed in the data folder.
        const bool changedHere = present && (last == installed.end() || last->second != mineHash);
        if (changedHere && userEditedDataFile(relative) && !damagedXml(dest, mine)) continue;

        makeFolder(files::parentFolder(dest), created);
        if (changedHere) {
            const std::string aside = asideName(dest);
            sfs::rename(dest, aside, ec);
            if (ec) {
                ok = false;
                continue;
            }
            if (notes)
                notes->push_back("The data file " + dest + " differed from this version's copy and was replaced; " +
                                 "the previous file is kept as " + aside);
        }
        if (!files::writeTextFile(dest, program)) {
            ok = false;
            continue;
        }
        record[relative] = programHash;
        if (!present && created) created->push_back(dest);
    }
    if (record != installed) ok = writeInstalledRecord(target, record) && ok;
    return ok && !ec;
}

bool CreateUserFolders(std::vector<std::string>* created, std::string* failed, std::vector<std::string>* notes,
                       bool batchRun) {
    auto fail = [&](const std::string& path) {
        if (failed) *failed = path;
        return false;
    };
    std::string docs = GetSpecialFolderPath(5);
    ReportsFolder = docs + "Dalvane Reports";
    DiagramFolder = files::joinPath(ReportsFolder, "Relationship Diagram");
    // A batch run makes only the report folders its reports use, when it writes them.
    if (!batchRun) {
        if (!docs.empty() && !files::folderExists(docs)) {
            files::createFolders(docs);
            if (created) created->push_back(docs);
        }
        if (!makeFolder(ReportsFolder, created)) return fail(ReportsFolder);
    }

    std::string appData = GetSpecialFolderPath(26);
    if (!appData.empty() && !files::folderExists(appData)) {
        if (files::createFolders(appData) && created) created->push_back(appData);
    }
    // The data folder holds the project document (passwords): private to the user.
    std::string unmade;
    DataFolder = appData + MakerName;
    for (const char* level : {"", "Dalvane", "4.5"}) {
        if (*level) DataFolder = files::joinPath(DataFolder, level);
        if (unmade.empty() && !makeFolder(DataFolder, created, true)) unmade = DataFolder;
    }
    const std::string programData = files::joinPath(resourceFolder(ProgramFolder()), "data");
    if (unmade.empty() && !InstallDataFiles(programData, DataFolder, created, notes)) unmade = DataFolder;
    if (!unmade.empty()) {
        if (!batchRun) return fail(unmade);
        // A batch run only reads the data files: the program's own copies serve.
        if (notes)
            notes->push_back(unmade + " cannot be written; the program's own data files in " + programData +
                             " are read instead");
        DataFolder = programData;
        return true;
    }
    if (batchRun) return true;

    if (!makeFolder(DiagramFolder, created)) return fail(DiagramFolder);
    std::string batch = files::joinPath(ReportsFolder, "Batch Process");
    if (!makeFolder(batch, created)) return fail(batch);
    return true;
}

std::string GetHelpFileLocation() {
    std::string fallback = files::joinPath(resourceFolder(ProgramFolder()), "help", "index.html");
    try {
        if (VersionRecord.RegistryRoot.empty()) InitVersionInfo();
        cRegistry local;
        cRegistry& reg = oRegistry ? *oRegistry : local;
        reg.RegistryKey(HKEY_CURRENT_USER);
        reg.RegistrySubKey(VersionRecord.RegistryRoot);
        reg.RegistryValueName("HelpLocation");
        std::string path = reg.GetRegistryValue();
        if (path.empty() || !files::fileExists(path)) return fallback;
        return path;
    } catch (...) {
        return fallback;
    }
}

void EndProcess(int exitCode) { endProcessHook(exitCode); }
void setEndProcessHook(void (*hook)(int)) { endProcessHook = hook ? hook : defaultEndProcess; }

// ---- shared helpers ------------------------------------------------------------------

namespace {
// Deletes path only when it lies inside the private temporary folder or is one of the
// fixed work files; never follows a link out of it.
void removeTempFile(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !sfs::is_regular_file(sfs::symlink_status(path, ec))) return;
    ::chmod(path.c_str(), 0600);  // read-only files too
    sfs::remove(path, ec);
}
}  // namespace

std::string HandOffFileName(const std::string& tempXmlFileName) {
    static const std::string ext = ".xml";
    if (tempXmlFileName.size() <= ext.size() ||
        tempXmlFileName.compare(tempXmlFileName.size() - ext.size(), ext.size(), ext) != 0)
        return {};
    return tempXmlFileName.substr(0, tempXmlFileName.size() - ext.size()) + "_Query.xml";
}

std::string BrenikProgram() { return files::joinPath(AppFolder, "brenik"); }

void ClearAllTemporaryFiles() {
    try {
        std::string temp = TempFolder.empty() ? files::privateTempFolder() : TempFolder;
        if (!temp.empty()) removeTempFile(files::joinPath(temp, "tempdalvpreview.html"));
        // Previews of earlier versions were written to the reports folder.
        if (!ReportsFolder.empty()) {
            for (const char* name : {"temp.html", "temp_print.html", "temp.xml", "tempwordcontent.html"})
                removeTempFile(files::joinPath(ReportsFolder, name));
        }
        if (!oStructures.isEmpty() && !temp.empty()) {
            for (const xml::Node& c : oStructures.selectNodes("DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION")) {
                std::string name = text::trim(c.attribute("TempXMLFileName"));
                if (name.empty()) continue;
                // Names come from the stored project document: only files of our own
                // temporary folder are touched.
                if (files::isInside(name, temp)) removeTempFile(name);
                const std::string query = HandOffFileName(name);
                if (!query.empty() && files::isInside(query, temp)) removeTempFile(query);
            }
        }
        for (auto& p : ProcessHandles) {
            if (p && p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(2000)) {
                    p->kill();
                    p->waitForFinished(2000);
                }
            }
        }
        ProcessHandles.clear();
        oRegistry.reset();
        oStructures.clear();
        oHistory.clear();
        oGUID.reset();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bGlobal.ClearAllTemporaryFiles");
    }
}

std::string GetXPath(int objectType, int tableIndex) {
    std::string table = tableIndex > 0 ? "/DATABASE/TABLE[" + std::to_string(tableIndex) + "]" : "/DATABASE/TABLE";
    switch (objectType) {
        case 3: return "DATABASE";
        case 4: return "/DATABASE/TABLE";
        case 5: return table + "/INDEX";
        case 6: return table + "/TRIGGER";
        case 7: return table + "/FOREIGNKEY";
        case 8: return "/DATABASE/VIEW";
        case 9: return "/DATABASE/STOREDPROCEDURE";
        default: return "";
    }
}

std::string GetCurrentUser() {
    struct passwd pw;
    struct passwd* result = nullptr;
    char buf[1024];
    if (::getpwuid_r(::geteuid(), &pw, buf, sizeof buf, &result) == 0 && result && result->pw_name)
        return text::trim(result->pw_name);
    const char* env = std::getenv("USER");
    return env ? text::trim(env) : "";
}

bool ValidateXML(const std::string& fileName, std::string& xmlText, bool showMessages,
                 const std::string& extension, xml::Document* parsed) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    auto invalid = [&]() {
        if (showMessages) ui::MsgBox("Invalid dalvane structure file", ui::MsgButtons::OK, ui::MsgIcon::Critical);
        return false;
    };
    if (files::extensionOf(fileName) != lower(extension)) {
        if (showMessages) ui::MsgBox("Select a valid xml file.", ui::MsgButtons::OK, ui::MsgIcon::Critical);
        return false;
    }
    // Text in UTF-16 (as other tools save it) has a zero byte among its first four; its markers
    // are looked for in the parsed document, and trimming would cut its characters.
    const bool wide = xmlText.substr(0, 4).find('\0') != std::string::npos;
    if (!wide) xmlText = text::trim(xmlText);
    if (xmlText.empty()) return invalid();
    xml::Document doc;
    if (wide && !doc.loadXML(xmlText)) return invalid();
    const std::string text = lower(wide ? doc.xml() : xmlText);
    for (const char* marker : {"<database", "databaseengine", "servertype", "databasetype", "databasename", "servername"})
        if (text.find(marker) == std::string::npos) return invalid();
    if ((!wide && !doc.loadXML(xmlText)) || doc.documentElement().name() != "DATABASE") return invalid();
    if (parsed) *parsed = std::move(doc);
    return true;
}

int Occurs(std::string& text, const std::string& pattern, int start) {
    if (text.empty()) return -1;
    QString t = QString::fromStdString(text);
    if (start != 0) {
        t = start > 0 ? t.mid(start - 1) : t;
        text = t.toStdString();
    }
    if (pattern.empty() || t.isEmpty()) return 0;
    QRegularExpression re(QRegularExpression::escape(QString::fromStdString(pattern)),
                          QRegularExpression::CaseInsensitiveOption);
    int n = 0;
    for (auto it = re.globalMatch(t); it.hasNext(); it.next()) ++n;
    return n;
}

bool LoadCustomizedObjects() {
    oCustomizeColumns.clear();
    std::string path = files::joinPath(DataFolder, "CustomizeColumns.xml");
    if (DataFolder.empty() || !files::fileExists(path)) return false;
    return oCustomizeColumns.load(path);
}

std::string GetSpecialFolderPath(int folder) {
    QString path;
    if (folder == 5)
        path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    else if (folder == 26)
        path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    else if (folder == 2)
        path = QString::fromStdString(files::privateTempFolder());
    if (path.isEmpty()) return "";
    std::string p = path.toStdString();
    size_t nul = p.find('\0');
    if (nul != std::string::npos) p.resize(nul);
    if (p.back() != '/') p += '/';
    return p;
}

// ---- text encryption -----------------------------------------------------------------

std::string EncryptText(const std::string& text, const std::string& passPhrase) {
    std::string out;
    switch (crypto::encryptText(text, passPhrase, out)) {
        case crypto::Status::Ok: return out.empty() ? "-1" : out;
        case crypto::Status::BadData: return "-2";
        case crypto::Status::Failure: break;
    }
    return "-3";
}

std::string DecryptText(const std::string& encryptedText, const std::string& passPhrase) {
    if (encryptedText.empty()) return "-1";
    std::string plain;
    switch (crypto::decryptText(encryptedText, passPhrase, plain)) {
        case crypto::Status::Ok: break;
        case crypto::Status::BadData: return "-2";
        case crypto::Status::Failure: return "-3";
    }
    // A byte-order mark is dropped only where it marks the start of the text.
    if (plain.rfind("\xEF\xBB\xBF", 0) == 0) plain.erase(0, 3);
    return plain;
}
