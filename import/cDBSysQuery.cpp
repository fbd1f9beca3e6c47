#include "import/cDBSysQuery.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"

#include <cstdlib>
#include <exception>
#include <optional>

namespace {

constexpr int kMaxDepth = 16;  // definitions nested deeper than this are taken as a loop

std::string underscored(std::string title) {
    for (char& c : title)
        if (c == ' ') c = '_';
    return title;
}

std::string keyText(const std::vector<db::Value>& key) {
    std::string text;
    for (size_t i = 0; i < key.size(); ++i) {
        if (i) text += "___";
        text += key[i].toString();
    }
    return text;
}

bool isPlaceholderAt(const std::string& s, size_t i, size_t parts, size_t& part) {
    if (s.compare(i, 4, "DALV") != 0 || i + 7 > s.size()) return false;
    const char c = s[i + 4];
    if (c < 'A' || c > 'Z' || s[i + 5] != c || s[i + 6] != c) return false;
    part = static_cast<size_t>('Z' - c);
    return part < parts;
}

std::string doubled(const std::string& text, char quote) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == quote) out += c;
    }
    return out;
}

}  // namespace

cDBSysQuery::cDBSysQuery() = default;
cDBSysQuery::~cDBSysQuery() = default;

std::string cDBSysQuery::placeholder(int part) { return "DALV" + std::string(3, static_cast<char>('Z' - part)); }

cDBSysQuery::BoundStatement cDBSysQuery::bindKey(const std::string& s, const std::vector<db::Value>& key) {
    BoundStatement out;
    char quote = 0;  // the closing character of the literal or quoted identifier we are in
    size_t part = 0;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (quote) {
            if (c == quote) {
                if (i + 1 < s.size() && s[i + 1] == quote) {  // doubled: stays inside
                    out.sql += s.substr(i, 2);
                    i += 2;
                    continue;
                }
                quote = 0;
                out.sql += c;
                ++i;
            } else if (isPlaceholderAt(s, i, key.size(), part)) {
                out.sql += doubled(key[part].toString(), quote);
                i += 7;
            } else {
                out.sql += c;
                ++i;
            }
            continue;
        }
        if (c == '\'') {
            // A literal that is exactly one placeholder becomes a parameter.
            if (isPlaceholderAt(s, i + 1, key.size(), part) && i + 8 < s.size() && s[i + 8] == '\'' &&
                (i + 9 >= s.size() || s[i + 9] != '\'')) {
                out.sql += '?';
                out.parameters.push_back(key[part]);
                i += 9;
                continue;
            }
            quote = '\'';
        } else if (c == '"') {
            quote = '"';
        } else if (c == '[') {
            quote = ']';
        } else if (isPlaceholderAt(s, i, key.size(), part)) {
            out.sql += '?';
            out.parameters.push_back(key[part]);
            i += 7;
            continue;
        }
        out.sql += c;
        ++i;
    }
    return out;
}

std::string cDBSysQuery::databasePath() const {
    return files::joinPath(QueriesFolder.empty() ? DataFolder : QueriesFolder, "Queries.dvq");
}

void cDBSysQuery::raise(std::int32_t status, const std::string& message) {
    RaiseImportingDB(status, message, 2);
    if (m_Cancel) throw Failure();
}

void cDBSysQuery::fail(long number, const std::string& description, const std::string& source) {
    HandleError(number, description, source);
    throw Failure();
}

bool cDBSysQuery::OpenDalvDatabase() {
    try {
        if (m_Connection.isOpen()) m_Connection.close();
        m_Connection.setConnectionString(ConnectionString);
        m_Connection.open(ConnectionString, {}, {}, -1);
        return m_Connection.isOpen();
    } catch (const db::Error& e) {
        const auto& errs = m_Connection.errors();
        if (errs.empty()) {
            if (e.number() == db::err::ProviderNotFound)
                ui::MsgBox(ProviderMissingMessage(e.description()), ui::MsgButtons::OK, ui::MsgIcon::Critical,
                           ApplicationTitle);
            else
                HandleError(e.number(), e.description(), "cDBSysQuery.OpenDalvDatabase");
            return false;
        }
        const db::ProviderError& first = errs.front();
        if (first.number == db::err::Fail) {
            // Native error 0 says nothing about the login, so it gets the general message.
            switch (first.nativeError) {
            case 17: ui::MsgBox("SQL Server does not exists", ui::MsgButtons::OK, ui::MsgIcon::None, ApplicationTitle); break;
            case 4060:
                ui::MsgBox("Unable to open the database given", ui::MsgButtons::OK, ui::MsgIcon::None, ApplicationTitle);
                break;
            case 12154:
                ui::MsgBox("Unable to connect to the oracle database, Listener not configured properly",
                           ui::MsgButtons::OK, ui::MsgIcon::None, ApplicationTitle);
                break;
            default:
                ui::MsgBox("Please check the server name and database name and try again.", ui::MsgButtons::OK,
                           ui::MsgIcon::Critical, "Dalvane 4.5");
            }
        } else if (first.number == db::err::AuthFailed) {
            ui::MsgBox("Incorrect database login name and password, try again!", ui::MsgButtons::OK,
                       ui::MsgIcon::Critical, "Dalvane 4.5");
        } else if (first.number == db::err::ProviderNotFound) {
            ui::MsgBox(ProviderMissingMessage(first.description), ui::MsgButtons::OK, ui::MsgIcon::Critical,
                       ApplicationTitle);
        } else {
            HandleError(first.number, first.description, "ADOConnect");
        }
    } catch (const std::exception& e) {
        HandleError(db::err::Fail, e.what(), "cDBSysQuery.OpenDalvDatabase");
    }
    return false;
}

bool cDBSysQuery::SetDatabaseQueries() {
    m_Queries = xml::Document();
    std::string text;
    if (!files::readTextFile(databasePath(), text)) {
        HandleError(53, "File not found: " + databasePath(), "Main.SetDatabaseQueries");
        return false;
    }
    const std::string plain = DecryptText(text, PassPhrase2);
    if (plain.empty() || plain == "-1" || plain == "-2" || plain == "-3" || plain == "-4" || plain == "-5") {
        ui::MsgBox("Queries.dvq is corrupted, please check", ui::MsgButtons::OK, ui::MsgIcon::Information,
                   ApplicationTitle);
        return false;
    }
    if (!m_Queries.loadXML(plain)) {
        HandleError(db::err::Fail, "Queries.dvq: " + m_Queries.parseError(), "Main.SetDatabaseQueries");
        return false;
    }
    return true;
}

void cDBSysQuery::StartXML(const std::string& rootName) {
    oResultXML = xml::Document();
    m_Root = oResultXML.createRoot(rootName);
    m_Root.setAttribute("Created_On", FormatShortDate());
    m_Root.setAttribute("Name", DatabaseName);
    m_Root.setAttribute("Database_Engine", DatabaseEngine);
    m_Root.setAttribute("Server_Name", DBServerName);
}

db::Recordset cDBSysQuery::runStatement(const std::string& sql, const std::vector<db::Value>& parameters) {
    return m_Connection.execute(sql, parameters);
}

// Builds a definition's statement, fills its placeholders from the key and runs it.
db::Recordset cDBSysQuery::execute(const xml::Node& definition, const std::vector<db::Value>& key) {
    const xml::Node query = definition.selectSingleNode("QUERY");
    const xml::Node condition = definition.selectSingleNode("CONDITION");
    const xml::Node type = definition.selectSingleNode("TYPE");
    const std::string element = definition.attribute("CurrentElement");
    if (!query || !condition || !type)
        fail(db::err::Fail, "The query definition for " + element + " lacks its QUERY, CONDITION or TYPE.",
             "cDBSysQuery.GenerateXML");
    std::string statement = query.text();
    if (type.text() == "SP")
        statement += " " + condition.text();
    else if (!condition.text().empty())
        statement += " Where " + condition.text();
    const BoundStatement bound = bindKey(statement, key);
    try {
        return runStatement(bound.sql, bound.parameters);
    } catch (const db::Error& e) {
        fail(e.number(), e.description() + " (reading " + element + ")", "cDBSysQuery.GenerateXML");
    }
}

bool cDBSysQuery::GenerateXML() {
    try {
        if (!SetDatabaseQueries()) return false;
        StartXML("DATABASE");
        raise(1, "Importing Database");
        const std::string database =
            "QUERIES/DATABASE[@Id=" + xml::xpathLiteral(std::to_string(CurrentDatabaseEngineId)) + "]";
        for (const xml::Node& definition : m_Queries.selectNodes(database + "/TABLE[@ParentXPath='DATABASE']")) {
            db::Recordset rs = execute(definition, {});
            WriteRecordsetXML(definition, m_Root, rs, 0);
        }
        raise(3, "Finializing Database Import Process...");
        raise(4, "Importing Database");
        return true;
    } catch (const Failure&) {
        return false;
    } catch (const std::exception& e) {
        HandleError(db::err::Fail, e.what(), "cDBSysQuery.GenerateXML");
        return false;
    }
}

void cDBSysQuery::WriteRecordsetXML(const xml::Node& definition, xml::Node parent, db::Recordset& rs, int depth) {
    const std::string element = definition.attribute("CurrentElement");
    const std::string fetch = definition.attribute("Fetch");
    if (!rs.isOpen()) return;
    raise(3, "Importing " + element);
    const auto malformed = [&](const std::string& what) {
        fail(db::err::Fail, "The query definition for " + element + " " + what + ".", "cDBSysQuery.WriteRecordsetXML");
    };
    char* end = nullptr;
    const std::string multiple = definition.attribute("OutputMultipleRows");
    const long rowByRow = std::strtol(multiple.c_str(), &end, 10);
    if (multiple.empty() || *end) malformed("has no numeric OutputMultipleRows");

    if (rowByRow != 1) {
        // The rows are consecutive pieces of one text: joined as they are. No rows, no text.
        if (rs.eof()) return;
        xml::Node block = parent.appendElement(element);
        block.setAttribute("Report", "1");
        block.setAttribute("Migrate", "1");
        block.appendCData(rs.getString("", "", ""));
        return;
    }
    if (!definition.hasAttribute("OutputType")) malformed("has no OutputType");
    const std::string outputType = definition.attribute("OutputType");
    const xml::NodeList columns = definition.selectNodes("COLUMNLIST/COLUMN");
    const auto value = [&rs](const xml::Node& column) -> db::Value {
        std::optional<int> index = rs.fieldIndex(column.text());
        return index ? rs.field(*index) : db::Value("--");
    };

    if (outputType == "ATTRIBUTE") {
        const xml::Node key = definition.selectSingleNode("COLUMNLIST/COLUMN[@KeyColumn='1']");
        if (!key) return;
        const std::string name = underscored(key.attribute("Title"));
        parent.setAttribute(name, rs.eof() ? std::string() : value(key).toString());
        return;
    }
    if (outputType != "ELEMENT") return;
    if (!definition.hasAttribute("Id")) malformed("has no Id");
    const std::string idText = definition.attribute("Id");
    const long id = std::strtol(idText.c_str(), &end, 10);
    if (*end) malformed("has no numeric Id");
    for (const xml::Node& column : columns)
        if (!column.hasAttribute("Display")) malformed("has a column without Display");

    for (; !rs.eof(); rs.moveNext()) {
        xml::Node row = parent.appendElement(element);
        row.setAttribute("Report", "1");
        row.setAttribute("Migrate", "1");
        std::vector<db::Value> key;
        for (const xml::Node& column : columns) {
            const db::Value v = value(column);
            if (column.attribute("Display") == "1") row.setAttribute(underscored(column.attribute("Title")), v.toString());
            if (column.attribute("KeyColumn") == "1") key.push_back(v.isNull() ? db::Value(std::string()) : v);
        }
        RunChildQueries(element, row, key, fetch, id, depth + 1);
    }
}

void cDBSysQuery::RunChildQueries(const std::string& parentElement, const xml::Node& row,
                                  const std::vector<db::Value>& key, const std::string& fetch, long parentId,
                                  int depth) {
    const std::string path = "QUERIES/DATABASE[@Id=" + xml::xpathLiteral(std::to_string(CurrentDatabaseEngineId)) +
                             "]/TABLE[@ParentXPath=" + xml::xpathLiteral(parentElement) +
                             " and @Fetch=" + xml::xpathLiteral(fetch) + " and @Id>=" + std::to_string(parentId) + "]";
    const xml::NodeList children = m_Queries.selectNodes(path);
    if (children.empty()) return;
    if (depth > kMaxDepth)
        fail(db::err::Fail, "The query definitions for " + parentElement + " nest without end.",
             "cDBSysQuery.RunChildQueries");
    const std::string text = keyText(key);
    for (const xml::Node& definition : children) {
        raise(3, "Importing " + text);
        if (text.empty()) {
            // Without a key only definitions that need none run.
            const xml::Node q = definition.selectSingleNode("QUERY"), c = definition.selectSingleNode("CONDITION");
            if ((q && q.text().find("DALVZZZ") != std::string::npos) ||
                (c && c.text().find("DALVZZZ") != std::string::npos))
                continue;
        }
        db::Recordset rs = execute(definition, text.empty() ? std::vector<db::Value>{} : key);
        WriteRecordsetXML(definition, row, rs, depth);
    }
}

void cDBSysQuery::SaveDBXML(const std::string& path) {
    if (!oResultXML.save(path))
        ui::MsgBox("You dont have permission to save the xml in the selected folder.", ui::MsgButtons::OK,
                   ui::MsgIcon::Information, ApplicationTitle);
}
