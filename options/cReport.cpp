// cReport: construction, the connection options and the engine catalogue.
#include "options/cReport.h"

#include "core/bDBEngines.h"
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/ReaderSlots.h"
#include "options/ReportSupport.h"
#include "platform/db/ConnectionString.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>

cReport* oReportEngine = nullptr;

namespace {
std::unique_ptr<cReport>& reportEngineOwner() {
    static std::unique_ptr<cReport> p;
    return p;
}
}  // namespace

cReport* CreateReportEngine() {
    reportEngineOwner() = std::make_unique<cReport>();
    oReportEngine = reportEngineOwner().get();
    return oReportEngine;
}

void ReleaseReportEngine() {
    oReportEngine = nullptr;
    reportEngineOwner().reset();
}

void SetDefaultReportOptions() {
    if (!oReportEngine) {
        HandleError(91, "Object variable or With block variable not set", "bGlobal.SetDefaultReportOptions");
        return;
    }
    cReport& r = *oReportEngine;
    r.XML_Namespace("");
    r.HTML_MultipleHTMLs(true);
    r.HTML_ObjectsPerPage(5);
    r.HTML_CurrentCSS("styles/ReportFormat1a.css");
    r.HTML_CurrentXSL(files::joinPath(StylesFolder, "ReportFormat1.xsl"));
    r.HTML_ImagePrefix("blu");
    r.HTML_ImagePath("");
    r.HTML_ColourScheme("Blue");
    r.HTML_LayoutIndex(0);
    r.HTML_StyleSheetIndex(0);
    r.PreviewFormat(1);
    r.WORD_ObjectsPerPage(1);
}

namespace report_support {

static std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::optional<int> parseInt16(std::string_view text) {
    std::string_view t = trimmed(text);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    if (t.empty()) return std::nullopt;
    long v = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || p != t.data() + t.size()) return std::nullopt;
    if (v < -32768 || v > 32767) return std::nullopt;
    return static_cast<int>(v);
}

std::optional<bool> parseBool(std::string_view text) {
    std::string_view t = trimmed(text);
    std::string lower(t);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "true") return true;
    if (lower == "false") return false;
    if (t.empty()) return std::nullopt;
    double d = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
    if (ec != std::errc() || p != t.data() + t.size()) return std::nullopt;
    return d != 0;
}

void blankSecrets(const xml::Node& node) {
    if (!node) return;
    for (const xml::Node& options : node.selectNodes("descendant-or-self::DBOPTIONS")) {
        for (xml::Node p : options.selectNodes("CONNECTIONSTRING/PARAMETERS/PARAMETER"))
            if (db::isSecretKeyword(p.attribute("Name")) && !p.attribute("Value").empty()) p.setAttribute("Value", "");
        for (xml::Node cs : options.selectNodes("CONNECTIONSTRING[@Value != '']"))
            cs.setAttribute("Value", db::withoutSecrets(cs.attribute("Value")));
    }
}

}  // namespace report_support

using namespace report_support;

namespace {

const char* kParameterPath = "DBOPTIONS/CONNECTIONSTRING/PARAMETERS/PARAMETER";

// Splits "A/B/@Attr" into the element path and the attribute name.
bool splitAttributePath(const std::string& path, std::string& element, std::string& attribute) {
    auto at = path.rfind("/@");
    if (at == std::string::npos) return false;
    element = path.substr(0, at);
    attribute = path.substr(at + 2);
    return true;
}

std::string engineXPath(int id) {
    return "DBENGINES/DBENGINE[@Id=" + xml::xpathLiteral(std::to_string(id)) + "]";
}

}  // namespace

// ---------------------------------------------------------------- attribute helpers

std::string cReport::attr(const xml::Document& doc, const std::string& path) const {
    std::string element, attribute;
    if (!splitAttributePath(path, element, attribute)) return {};
    xml::Node n = doc.selectSingleNode(element);
    return n ? n.attribute(attribute) : std::string();
}

bool cReport::hasAttr(const xml::Document& doc, const std::string& path) const {
    std::string element, attribute;
    if (!splitAttributePath(path, element, attribute)) return false;
    xml::Node n = doc.selectSingleNode(element);
    return n && n.hasAttribute(attribute);
}

bool cReport::setAttr(xml::Document& doc, const std::string& path, const std::string& value) {
    std::string element, attribute;
    if (!splitAttributePath(path, element, attribute)) return false;
    xml::Node n = doc.selectSingleNode(element);
    if (!n || !n.hasAttribute(attribute)) return false;
    n.setAttribute(attribute, value);
    return true;
}

std::string cReport::param(const std::string& name) const {
    return attr(dbOptions_, std::string(kParameterPath) + "[@Name=" + xml::xpathLiteral(name) + "]/@Value");
}

void cReport::setParam(const std::string& name, const std::string& value) {
    setAttr(dbOptions_, std::string(kParameterPath) + "[@Name=" + xml::xpathLiteral(name) + "]/@Value", value);
}

// ---------------------------------------------------------------- construction

cReport::cReport() {
    try {
        readers_ = std::make_unique<Readers>();
        oResultXML = std::make_shared<xml::Document>();
        LastDBEngineId = -1;
        LastDBEngineName.clear();
        RefreshDBEnginesXML();
        m_CurrentDatabaseEngineId = -1;
        dbOptions_.createRoot("DBOPTIONS");
        xml::Node ro = reportOptions_.createRoot("REPORTOPTIONS");
        ro.setAttribute("Display", "0");
        ro.setAttribute("PreviewFormat", "1");
        ro.setAttribute("CustomizeColumns", files::joinPath(DataFolder, "CustomizeColumns.xml"));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cReport.Class_Initialize");
    }
}

cReport::~cReport() = default;  // Readers is complete here (ReaderSlots.h)

bool cReport::RefreshDBEnginesXML() {
    dbEngines_.clear();
    std::string path = files::joinPath(DataFolder, "DBEngines.xml");
    if (!dbEngines_.load(path)) {
        dbEngines_.clear();
        ui::MsgBox("Error loading " + path + ", please check", ui::MsgButtons::OK, ui::MsgIcon::Critical);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- connection options

void cReport::InitializeDBOptions() {
    if (m_CurrentDatabaseEngineId == -1) return;
    try {
        xml::Node root = dbOptions_.documentElement();
        if (!root) return;
        xml::Node more = root.appendElement("MOREINFO");
        xml::Node server = more.appendElement("SERVER");
        for (const char* a : {"Name", "OS", "DBEngineId", "DBEngineName", "DBEngineCaption", "MigrationCode"})
            server.setAttribute(a, std::string(a) == "OS" ? OSName : std::string());
        xml::Node database = more.appendElement("DATABASE");
        for (const char* a : {"Name", "Path", "AuthenticationMode", "CurrentDatabaseGroup", "CurrentDatabaseNumber"})
            database.setAttribute(a, "");
        more.appendElement("SQLSCRIPT").setAttribute("XSLFile", "");
        xml::Node output = more.appendElement("OUTPUT");
        for (const char* a : {"XMLFilePath", "ResultStatus", "SortTableStructure"}) output.setAttribute(a, "");
    } catch (const std::exception&) {
        // stops silently
    }
}

std::string cReport::DBServerName() const { return attr(dbOptions_, "DBOPTIONS/MOREINFO/SERVER/@Name"); }
void cReport::DBServerName(const std::string& v) {
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/SERVER/@Name", v);
    setParam("Data Source", v);
}

std::string cReport::AuthenticationMode() const {
    return attr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@AuthenticationMode");
}
void cReport::AuthenticationMode(const std::string& v) {
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@AuthenticationMode", v);
    std::string upper(v);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "WINDOWS") setParam("Integrated Security", "SSPI");
}

std::string cReport::DatabaseName() const { return attr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@Name"); }
void cReport::DatabaseName(const std::string& v) {
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@Name", v);
    setParam("Initial Catalog", v);
}

std::string cReport::UserName() const { return param("User Id"); }
void cReport::UserName(const std::string& v) { setParam("User Id", v); }
std::string cReport::Password() const { return param("Password"); }
void cReport::Password(const std::string& v) { setParam("Password", v); }
std::string cReport::AccessDatabasePassword() const { return param("Jet OLEDB:Database Password"); }
void cReport::AccessDatabasePassword(const std::string& v) { setParam("Jet OLEDB:Database Password", v); }
std::string cReport::WorkgroupDatabase() const { return param("Jet OLEDB:System Database"); }
void cReport::WorkgroupDatabase(const std::string& v) { setParam("Jet OLEDB:System Database", v); }

std::string cReport::DatabasePath() const { return attr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@Path"); }
void cReport::DatabasePath(const std::string& v) {
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@Name", files::fileName(v));
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@Path", v);
    if (EngineKindOf(m_CurrentDatabaseEngineId) == EngineKind::Access) setParam("Data Source", v);
    setParam("Database", v);
    setParam("Initial Catalog", v);
}

bool cReport::SortTableStructure() const {
    return parseBool(attr(dbOptions_, "DBOPTIONS/MOREINFO/OUTPUT/@SortTableStructure")).value_or(false);
}
void cReport::SortTableStructure(bool v) {
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/OUTPUT/@SortTableStructure", boolText(v));
}

std::string cReport::ConnectionString() const { return connectionString_; }
void cReport::ConnectionString(const std::string& v) { connectionString_ = v; }

std::string cReport::XMLFilePath() const { return attr(dbOptions_, "DBOPTIONS/MOREINFO/OUTPUT/@XMLFilePath"); }
void cReport::XMLFilePath(const std::string& v) { setAttr(dbOptions_, "DBOPTIONS/MOREINFO/OUTPUT/@XMLFilePath", v); }

int cReport::CurrentDatabaseGroup() const {
    return parseInt16(attr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseGroup")).value_or(0);
}
void cReport::CurrentDatabaseGroup(int v) {
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseGroup", std::to_string(v));
}
int cReport::CurrentDatabaseNumber() const {
    return parseInt16(attr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseNumber")).value_or(0);
}
void cReport::CurrentDatabaseNumber(int v) {
    setAttr(dbOptions_, "DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseNumber", std::to_string(v));
}

std::string cReport::BuildConnectionString() {
    if (CurrentDatabaseEngineName() == "OTHERS") return connectionString_;
    db::ConnectionParameters params;
    for (const xml::Node& p : dbOptions_.selectNodes(kParameterPath)) {
        std::string value = p.attribute("Value");
        if (value.empty()) continue;
        params.emplace_back(p.attribute("Name"), value);
    }
    // Values holding ';', '=' or quotes are quoted, so no value can add a keyword.
    std::string result = db::buildConnectionString(params);
    if (xml::Node cs = dbOptions_.selectSingleNode("DBOPTIONS/CONNECTIONSTRING")) cs.setAttribute("Value", result);
    connectionString_ = result;
    return result;
}

// ---------------------------------------------------------------- engine catalogue

void cReport::CurrentDatabaseEngineId(int id) {
    m_CurrentDatabaseEngineId = id;
    const std::string server = "DBOPTIONS/MOREINFO/SERVER/@";
    setAttr(dbOptions_, server + "DBEngineId", std::to_string(id));
    const std::string entry = engineXPath(id);
    auto catalogue = [&](const char* a) { return attr(dbEngines_, entry + "/@" + a); };
    setAttr(dbOptions_, server + "DBEngineCaption", catalogue("Caption"));
    if (setAttr(dbOptions_, server + "DBEngineName", catalogue("Name")))
        LastDBEngineName = attr(dbOptions_, server + "DBEngineName");
    setAttr(dbOptions_, server + "MigrationCode", catalogue("MigrationCode"));
}

int cReport::CurrentDatabaseEngineId() const {
    return parseInt16(attr(dbOptions_, "DBOPTIONS/MOREINFO/SERVER/@DBEngineId")).value_or(0);
}

bool cReport::ResetConnectionString() {
    xml::Node tpl = dbEngines_.selectSingleNode(engineXPath(m_CurrentDatabaseEngineId) + "/CONNECTIONSTRING");
    xml::Node root = dbOptions_.selectSingleNode("DBOPTIONS");
    if (!tpl || !root) return false;
    xml::Node old = root.selectSingleNode("CONNECTIONSTRING");
    xml::Node copy = root.appendChild(tpl);  // deep copy from the catalogue
    if (old) {
        root.insertBefore(copy, old);
        old.remove();
    }
    return true;
}

std::string cReport::CurrentDatabaseEngineName() const {
    return attr(dbOptions_, "DBOPTIONS/MOREINFO/SERVER/@DBEngineName");
}
std::string cReport::CurrentDatabaseEngineCaption() const {
    return attr(dbOptions_, "DBOPTIONS/MOREINFO/SERVER/@DBEngineCaption");
}
std::string cReport::CurrentMigrationCode() const {
    return attr(dbOptions_, "DBOPTIONS/MOREINFO/SERVER/@MigrationCode");
}

std::string cReport::DatabaseEngine() const {
    return attr(dbEngines_, engineXPath(CurrentDatabaseEngineId()) + "/@Caption");
}
