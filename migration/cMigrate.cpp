#include "migration/cMigrate.h"

#include "core/bGlobal.h"
#include "options/StructureVocabulary.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kLineEnd = "\r\n";

enum class Quote { Brackets, DoubleQuotes };

bool isAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Words the targets reserve (the union of their lists, as far as a name is likely to meet them).
bool isReservedWord(const std::string& name) {
    static constexpr std::string_view words[] = {
        "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUDIT", "AUTHORIZATION", "BACKUP",
        "BEGIN", "BETWEEN", "BREAK", "BROWSE", "BY", "CASCADE", "CASE", "CHAR", "CHECK", "CLUSTER",
        "CLUSTERED", "COLUMN", "COMMENT", "COMMIT", "COMPRESS", "COMPUTE", "CONNECT", "CONSTRAINT",
        "CONTINUE", "COUNT", "CREATE", "CROSS", "CURRENT", "CURSOR", "DATABASE", "DATE", "DECIMAL",
        "DECLARE", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DOUBLE", "DROP", "ELSE", "END", "ESCAPE",
        "EXCEPT", "EXCLUSIVE", "EXEC", "EXECUTE", "EXISTS", "FILE", "FLOAT", "FOR", "FOREIGN", "FROM",
        "FULL", "FUNCTION", "GO", "GRANT", "GROUP", "HAVING", "IDENTITY", "IDENTIFIED", "IF",
        "IMMEDIATE", "IN", "INCREMENT", "INDEX", "INITIAL", "INNER", "INSERT", "INTEGER", "INTERSECT",
        "INTO", "IS", "JOIN", "KEY", "LEFT", "LEVEL", "LIKE", "LOCK", "LONG", "MINUS", "MODE", "MODIFY",
        "NOT", "NULL", "NUMBER", "OF", "OFFLINE", "ON", "ONLINE", "OPTION", "OR", "ORDER", "OUTER",
        "PERCENT", "PLAN", "PRIMARY", "PRIOR", "PRIVILEGES", "PROCEDURE", "PUBLIC", "RAW", "REFERENCES",
        "RENAME", "RESOURCE", "REVOKE", "RIGHT", "ROW", "ROWID", "ROWNUM", "ROWS", "SELECT", "SESSION",
        "SET", "SIZE", "SMALLINT", "START", "TABLE", "THEN", "TO", "TOP", "TRIGGER", "UID", "UNION", "UNIQUE",
        "UPDATE", "USER", "VALUES", "VARCHAR", "VIEW", "WHERE", "WITH"};
    const std::string u = text::upper(name);
    return std::find(std::begin(words), std::end(words), u) != std::end(words);
}

bool isPlainIdentifier(const std::string& name) {
    if (name.empty() || !isAsciiLetter(static_cast<unsigned char>(name[0]))) return false;
    for (unsigned char c : name)
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '_') return false;
    return !isReservedWord(name);
}

// "1" as a number (the Migrate flag).
bool flagSet(const xml::Node& node) {
    if (!node.hasAttribute("Migrate")) return false;
    const std::string v = text::trim(node.attribute("Migrate"));
    if (v.empty()) return false;
    char* end = nullptr;
    double d = std::strtod(v.c_str(), &end);
    return end && *end == '\0' && d == 1.0;
}

long toLong(const std::string& text) {
    const std::string t = text::trim(text);
    if (t.empty()) return 0;
    char* end = nullptr;
    long n = std::strtol(t.c_str(), &end, 10);
    return (end && *end == '\0') ? n : 0;
}

// A map code becomes an element name of the map: letters, digits and "_" only.
bool isMapCode(const std::string& code) {
    return !code.empty() && std::all_of(code.begin(), code.end(), [](unsigned char c) {
        return isAsciiLetter(c) || isAsciiDigit(c) || c == '_';
    });
}

std::string ruleWord(const std::string& rule) {
    std::string out;
    for (unsigned char c : text::upper(rule))
        if (c != ' ' && c != '_') out += static_cast<char>(c);
    return out;
}

// The longest label of an enumeration written as its labels ("'a','it''s'"), in characters;
// for a set, the length of all labels joined by commas. -1 when the text holds no label.
long labelsLength(const std::string& labels, bool set) {
    long longest = -1, total = 0, count = 0, current = 0;
    bool inside = false;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(labels[i]);
        if (!inside) {
            if (c == '\'') inside = true, current = 0;
        } else if (c == '\'' && i + 1 < labels.size() && labels[i + 1] == '\'') {
            ++current, ++i;
        } else if (c == '\'') {
            inside = false;
            longest = std::max(longest, current);
            total += current;
            ++count;
        } else if ((c & 0xC0) != 0x80) {
            ++current;
        }
    }
    if (count == 0) return -1;
    return set ? total + count - 1 : longest;
}

// The map's name for the family SQLite gives a declared type by its affinity rules.
std::string sqliteAffinity(const std::string& declared, bool sized) {
    const std::string u = text::upper(declared);
    auto has = [&u](const char* part) { return u.find(part) != std::string::npos; };
    if (has("INT")) return has("BIG") || has("INT8") ? "bigint" : "integer";
    if (has("CHAR") || has("CLOB") || has("TEXT")) return sized ? "varchar" : "text";
    if (u.empty() || has("BLOB")) return "blob";
    if (has("REAL") || has("FLOA") || has("DOUB")) return "double";
    return "numeric";
}

bool sameSet(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

}  // namespace

// What distinguishes the targets.
struct cMigrate::Target {
    const char* code;          // map code and target type
    const char* reportedName;  // TargetDatabase of MigrationDataTypeError
    const char* typeError;     // description of MigrationDataTypeError
    Quote quote;
    bool quoteAlways;
    bool deleteCascade, deleteSetNull, updateCascade, updateSetNull;
    // How an auto-increment column is written: its clause after the type, or (Access) its type.
    const char* autoIncrement;
    bool autoIncrementType;
    // A unique index holds NULLs as equal (one NULL key): it expresses NULLS NOT DISTINCT.
    bool nullsAsOne;

    // The one quoting rule of the target, for tables, columns, indexes and constraints alike. A
    // line break stays as it is (neither quoting can write it otherwise): a name holding one is
    // always quoted, so its first and last lines carry the quotes, and SplitScript never
    // divides inside the quotes.
    std::string name(const std::string& n) const {
        if (!quoteAlways && isPlainIdentifier(n)) return n;
        if (quote == Quote::Brackets) return "[" + text::replaceAll(n, "]", "]]") + "]";
        return "\"" + text::replaceAll(n, "\"", "\"\"") + "\"";
    }
    std::string names(const std::vector<std::string>& list) const {
        std::string out;
        for (const std::string& n : list) out += (out.empty() ? "" : ",") + name(n);
        return out;
    }
};

namespace {
const cMigrate::Target kAccess{"ACCESS", "ACCESS", "Datatype could not be matched", Quote::Brackets, true,
                               true, true, true, true, "COUNTER", true, false};
const cMigrate::Target kSqlServer{"SQLSERVER", "SQLSERVER", "Datatype couldnot be matched", Quote::Brackets, true,
                                  true, false, true, false, " IDENTITY(1,1)", false, true};
const cMigrate::Target kSqlServer65{"SQLSERVER65", "SQLSERVER", "Datatype couldnot be matched", Quote::Brackets,
                                    false, false, false, false, false, " IDENTITY(1,1)", false, true};
const cMigrate::Target kOracle{"ORACLE", "ORACLE", "Datatype could not be matched", Quote::DoubleQuotes, false,
                               true, true, false, false, " GENERATED BY DEFAULT AS IDENTITY", false, false};
const cMigrate::Target kDb2{"IBMDB2", "IBMDB2", "Datatype couldnot be matched", Quote::DoubleQuotes, false,
                            true, true, false, false, " GENERATED BY DEFAULT AS IDENTITY", false, true};
}  // namespace

cMigrate::cMigrate() : random_(std::random_device{}()) {
    LoadDataTypeMap();
}

cMigrate::~cMigrate() = default;

void cMigrate::SetConnectionString(const std::string& v) { connectionString_ = v; }
void cMigrate::SetDBXMLContent(const std::string& v) { sourceXml_ = v; }
void cMigrate::SetTargetDBType(const std::string& v) { targetType_ = v; }

void cMigrate::ExecuteImmediately(bool value) {
    executeImmediately_ = value;
    presentStatus_ = value ? "Migrating" : "Generating";
    pastStatus_ = value ? "Migrated" : "Generated";
}

bool cMigrate::GenerateAccessTables(const std::string& s) { return run(kAccess, s); }
bool cMigrate::GenerateSQLServerTables(const std::string& s) { return run(kSqlServer, s); }
bool cMigrate::GenerateOracleTables(const std::string& s) { return run(kOracle, s); }
bool cMigrate::GenerateDB2Tables(const std::string& s) { return run(kDb2, s); }
bool cMigrate::GenerateSQLServer65Tables(const std::string& s) { return run(kSqlServer65, s); }

void cMigrate::raiseError(long number, const std::string& description, const std::string& objectName,
                          const std::string& query) {
    if (MigrationError) MigrationError(number, description, objectName, query);
}

void cMigrate::raiseProgress(const std::string& name, const std::string& type, const std::string& status) {
    if (WhileMigrating) WhileMigrating(name, type, status);
}

bool cMigrate::LoadDataTypeMap() {
    mapPath_ = files::joinPath(DataFolder, "DataTypes.dvd");
    mapError_.clear();
    dataTypeMap_.clear();
    std::string text;
    if (!files::readTextFile(mapPath_, text)) {
        mapError_ = "The data-type map cannot be read.";
        return false;
    }
    const std::string plain = DecryptText(text, PassPhrase1);
    if (plain == "-1" || plain == "-2" || plain == "-3") {
        mapError_ = "The data-type map cannot be deciphered.";
        return false;
    }
    xml::Document map;
    if (!map.loadXML(plain)) {
        mapError_ = "The data-type map is not a valid document: " + map.parseError();
        return false;
    }
    dataTypeMap_ = std::move(map);
    return true;
}

bool cMigrate::OpenTargetConnection() {
    connection_ = std::make_unique<db::Connection>();
    try {
        connection_->open(connectionString_);
        return true;
    } catch (const db::Error& e) {
        raiseError(e.number(),
                   "Error connecting to database check whether your server is active: " + e.description(),
                   "Connection", db::withoutPasswords(connectionString_));
        connection_.reset();
        return false;
    }
}

bool cMigrate::LoadSourceStructure() {
    xml::Document doc;
    if (!doc.loadXML(sourceXml_) || doc.documentElement().name() != "DATABASE") {
        const std::string why = doc.parseError().empty() ? "its root is not DATABASE" : doc.parseError();
        raiseError(db::err::Fail, "The source structure cannot be read: " + why, "XML", "XML Content for source");
        return false;
    }
    source_ = std::move(doc);
    return true;
}

std::string cMigrate::MatchDataType(const xml::Node& column, const std::string& sourceType,
                                    const std::string& sourceCode, const std::string& targetCode, bool indexed) {
    const std::string sc = text::upper(sourceCode), tc = text::upper(targetCode);
    if (!isMapCode(sc) || !isMapCode(tc) || dataTypeMap_.isEmpty()) return {};
    // What the type stands for: an enumeration a string as long as its longest label, a domain
    // its base type, an array its text form.
    std::string type = text::trim(sourceType);
    const std::string lower = text::lower(type);
    long labelLength = -1;
    if (column.hasAttribute("Enum_Labels")) {
        labelLength = labelsLength(column.attribute("Enum_Labels"), false);
        type = "enum";
    } else if (lower.rfind("enum(", 0) == 0 || lower.rfind("set(", 0) == 0) {
        const bool set = lower[0] == 's';
        labelLength = labelsLength(type.substr(type.find('(')), set);
        type = set ? "set" : "enum";
    } else if (const std::string domain = text::trim(column.attribute("Domain_Type")); !domain.empty()) {
        type = domain;
    } else if (type.size() > 2 && type.ends_with("[]")) {
        type = "[]";
    }
    if (type.empty() && !sqliteSource_) return {};
    const xml::NodeList sources = dataTypeMap_.selectNodes("/MIGRATION/DATATYPES/" + sc);

    auto find = [&](const std::string& type) -> long {
        const std::string u = text::upper(type);
        for (std::size_t i = 0; i < sources.size(); ++i)
            if (text::upper(sources[i].text()) == u) return static_cast<long>(i);
        return -1;
    };
    long at = -1;
    if (sqliteSource_) {
        // Any declared name: its own row, else the row of its affinity. SQLite keeps every
        // floating-point value in eight bytes, whatever the name.
        const std::string affinity = sqliteAffinity(type, toLong(vocab::length(column)) > 0);
        if (affinity != "double" && !type.empty()) at = find(type);
        if (at < 0) at = find(affinity);
    } else {
        at = find(type);
    }
    // A type written with its arguments ("decimal(10,2)") matches through its bare name.
    std::string args;
    if (at < 0) {
        const auto open = type.find('('), close = type.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) return {};
        at = find(text::trim(std::string_view(type).substr(0, open)));
        args = type.substr(open + 1, close - open - 1);
        if (at < 0) return {};
    }
    const xml::Node target =
        dataTypeMap_.selectSingleNode("/MIGRATION/DATATYPES/" + tc + "[" + std::to_string(at + 1) + "]");
    if (!target) return {};
    // The written type: Type where the text is only a source name.
    std::string result = target.hasAttribute("Type") ? target.attribute("Type") : target.text();
    if (result.empty()) return {};

    std::string lengthText = labelLength >= 0 ? std::to_string(std::max(labelLength, 1L)) : vocab::length(column);
    std::string scaleText = vocab::scale(column);
    if (!args.empty()) {
        const auto comma = args.find(',');
        if (toLong(lengthText) <= 0) lengthText = args.substr(0, comma);
        if (scaleText.empty() && comma != std::string::npos) scaleText = args.substr(comma + 1);
    }
    const long max = toLong(target.attribute("MaxLength"));
    long n = toLong(lengthText);
    // A length-taking type without a source length, or with one beyond the target's, gets the
    // target's large-object type; where it has none or a key or index needs a bounded type, its
    // largest length (never the target's default of one character, or an error).
    if (toLong(target.attribute("LengthAllowed")) == 1 && (n <= 0 || n > max) && !indexed &&
        target.hasAttribute("Unbounded"))
        return target.attribute("Unbounded");
    if (toLong(target.attribute("ScaleAllowed")) == 1 && n <= 0 && target.hasAttribute("Unbounded"))
        return target.attribute("Unbounded");
    if (n > 0) n = std::min(n, max);
    if (toLong(target.attribute("LengthAllowed")) == 1) {
        if (n <= 0) n = max;
        if (n > 0) result += "(" + std::to_string(n) + ")";
    } else if (toLong(target.attribute("ScaleAllowed")) == 1 && n > 0) {
        const long s = std::min(toLong(scaleText), n);
        result += "(" + std::to_string(n) + (s > 0 ? "," + std::to_string(s) : std::string()) + ")";
    }
    return result;
}

void cMigrate::AddQuery(const std::string& statement) {
    script_ += statement + kLineEnd + "Go" + kLineEnd + kLineEnd;
}

bool cMigrate::runStatement(const std::string& statement, const std::string& objectName, const std::string& objectType) {
    bool ok = true;
    if (executeImmediately_) {
        try {
            connection_->execute(statement);
        } catch (const db::Error& e) {
            raiseError(e.number(), e.description(), objectName, statement);
            ok = false;
        }
    }
    AddQuery(statement);
    if (ok) {
        raiseProgress(objectName, objectType, pastStatus_);
        ++objectsMigrated_;
    }
    return ok;
}

std::string cMigrate::newName(const char* prefix) {
    std::uniform_int_distribution<int> digits(10000, 99999);
    std::string name;
    do name = prefix + std::to_string(digits(random_));
    while (!usedNames_.insert(name).second);
    return name;
}

bool cMigrate::run(const Target& t, const std::string& sourceCode) {
    if (presentStatus_.empty()) ExecuteImmediately(executeImmediately_);
    targetType_ = t.code;
    if (!mapError_.empty()) raiseError(db::err::Fail, mapError_, "XML", mapPath_);
    // A script is written without the target; only running the statements needs it.
    const bool reached = OpenTargetConnection();
    if ((!reached && executeImmediately_) || !LoadSourceStructure()) return false;

    notCreated_.clear();
    sqliteSource_ = text::lower(source_.documentElement().attribute("DBMS_Name")).rfind("sqlite", 0) == 0;
    const std::vector<vocab::ForeignKeyPair> foreignKeys = vocab::allForeignKeys(source_);
    bool result = reached;
    for (const xml::Node& table : source_.selectNodes("/DATABASE/TABLE")) {
        if (!flagSet(table)) continue;
        const std::string name = table.attribute("Name");
        raiseProgress(name, "Table", presentStatus_);
        const std::string quoted = t.name(name);
        const std::vector<xml::Node> columns = vocab::tableColumns(table);
        if (name.empty() || columns.empty()) {
            raiseError(db::err::Fail, name.empty() ? "The table has no name." : "The table has no columns.", quoted,
                       "");
            result = false;
            continue;
        }
        // Columns of a key, an index or a foreign key, which cannot take a large-object type.
        std::set<std::string> indexed;
        for (std::string& c : vocab::primaryKeyColumns(table)) indexed.insert(std::move(c));
        for (const xml::Node& index : table.selectNodes("INDEX"))
            for (std::string& c : vocab::indexColumns(index)) indexed.insert(std::move(c));
        for (const vocab::ForeignKeyPair& fk : foreignKeys) {
            if (fk.referencingTable == name) indexed.insert(fk.referencingColumn);
            if (fk.referencedTable == name) indexed.insert(fk.referencedColumn);
        }
        std::string list, untyped;
        bool complete = true;
        for (const xml::Node& column : columns) {
            const std::string columnName = vocab::columnName(column);
            if (columnName.empty()) {
                raiseError(db::err::Fail, "A column of the table has no name.", quoted, list);
                complete = false;
                continue;
            }
            const std::string sourceType = vocab::dataType(column);
            currentColumn_ = name + "." + columnName;
            const std::string type = MatchDataType(column, sourceType, sourceCode, t.code, indexed.count(columnName) > 0);
            if (type.empty()) {
                untyped += (untyped.empty() ? "" : ", ") + t.name(columnName) + " (" + sourceType + ")";
                if (MigrationDataTypeError) MigrationDataTypeError(t.typeError, sourceCode, t.reportedName, sourceType);
            }
            // An auto-increment column numbers its rows on the target too.
            const bool counted = !type.empty() && vocab::autoIncrement(column);
            list += (list.empty() ? "" : ",") + t.name(columnName) + " " +
                    (counted && t.autoIncrementType ? std::string(t.autoIncrement) : type) +
                    (counted && !t.autoIncrementType ? t.autoIncrement : "");
            if (!vocab::nullAllowed(column) || vocab::inPrimaryKey(column)) list += " NOT NULL";
        }
        if (!complete) {
            result = false;
            continue;
        }
        if (!untyped.empty()) {
            // Neither run nor written, nor its indexes and the foreign keys to and from it.
            notCreated_.insert(name);
            raiseError(db::err::Fail, "The table is not created: no type on the target for " + untyped + ".", quoted,
                       "");
            result = false;
            continue;
        }
        if (!runStatement("Create Table " + quoted + "(" + list + ")", quoted, "Table")) result = false;
    }
    if (!GenerateIndexes(t)) result = false;
    if (!GenerateForeignKeys(t)) result = false;
    return result;
}

bool cMigrate::GenerateIndexes(const Target& t) {
    bool result = true;
    for (const xml::Node& table : source_.selectNodes("/DATABASE/TABLE")) {
        if (notCreated_.count(table.attribute("Name"))) continue;
        const xml::NodeList indexes = table.selectNodes("INDEX");
        const std::vector<std::string> keyColumns = vocab::primaryKeyColumns(table);
        // The key's own index: the one flagged as the key, or, from readers that flag none but
        // mark the key's columns, the unique index over exactly those columns.
        auto unique = [](const xml::Node& index) {
            return vocab::indexUnique(index) ||
                   text::lower(index.attribute("Primary_Key")).find("unique") != std::string::npos;
        };
        std::optional<std::size_t> keyIndex;
        for (std::size_t i = 0; i < indexes.size() && !keyIndex; ++i)
            if (vocab::indexPrimary(indexes[i])) keyIndex = i;
        for (std::size_t i = 0; i < indexes.size() && !keyIndex && !keyColumns.empty(); ++i)
            if (unique(indexes[i]) && vocab::indexEngineForm(indexes[i]).empty() &&
                sameSet(vocab::indexColumns(indexes[i]), keyColumns))
                keyIndex = i;

        bool keyWritten = false;
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            const xml::Node& index = indexes[i];
            if (!flagSet(index)) continue;
            const std::string name = index.attribute("Name");
            std::string tableName = index.attribute("Table_Name");
            if (tableName.empty()) tableName = table.attribute("Name");
            if (notCreated_.count(tableName)) continue;
            raiseProgress(name, "Index", presentStatus_);
            // A condition, an expression or a prefix is the source engine's text, and NULLs held
            // equal are not every target's: the index is left out (never made over all rows or
            // whole columns, nor letting in what the source refuses) and named in the summary.
            // INCLUDE columns take no part in what it allows: it is made without them.
            std::string form = vocab::indexEngineForm(index);
            if (form.empty() && !t.nullsAsOne && vocab::isTrueText(index.attribute("Nulls_Not_Distinct")))
                form = "NULL keys as equal (NULLS NOT DISTINCT)";
            if (!form.empty() && keyIndex != i) {
                raiseError(db::err::Fail, "The index is left out: it holds " + form + ", which the target cannot express.",
                           name, "");
                result = false;
                continue;
            }
            const std::vector<std::string> columns = vocab::indexColumns(index);
            if (columns.empty() || tableName.empty()) {
                raiseError(db::err::Fail, "The index names no columns.", name, "");
                result = false;
                continue;
            }
            const bool primary = keyIndex == i;
            keyWritten = keyWritten || primary;
            const std::string ix = newName("IX_");
            std::string statement;
            if (primary)
                statement = "Alter table " + t.name(tableName) + " ADD CONSTRAINT " + t.name(ix) + " PRIMARY KEY (" +
                            t.names(columns) + ")";
            else
                statement = std::string("Create ") + (unique(index) ? "UNIQUE " : "") + "INDEX " + t.name(ix) +
                            " on " + t.name(tableName) + "(" + t.names(columns) + ")";
            if (!runStatement(statement, name, "Index")) result = false;
        }
        // A migrated table has its key even where the structure has no index for it or the
        // key's index was not selected: foreign keys to it need one.
        if (!keyWritten && flagSet(table)) {
            const std::vector<std::string> columns = keyIndex ? vocab::indexColumns(indexes[*keyIndex]) : keyColumns;
            if (!columns.empty() && !addKeyFromColumns(t, table, columns)) result = false;
        }
    }
    return result;
}

bool cMigrate::addKeyFromColumns(const Target& t, const xml::Node& table, const std::vector<std::string>& columns) {
    const std::string tableName = table.attribute("Name");
    std::string name;  // the key's own name where the reader gives one
    for (const xml::Node& c : vocab::tableColumns(table))
        if (vocab::inPrimaryKey(c)) {
            name = c.attribute("Primary_Key");
            break;
        }
    if (name.empty() || vocab::isTrueText(name)) name = tableName;
    raiseProgress(name, "Index", presentStatus_);
    return runStatement("Alter table " + t.name(tableName) + " ADD CONSTRAINT " + t.name(newName("IX_")) +
                            " PRIMARY KEY (" + t.names(columns) + ")",
                        name, "Index");
}

bool cMigrate::GenerateForeignKeys(const Target& t) {
    // One element per column pair: the pairs of one key are joined into one constraint (same
    // name and tables, consecutive; where the reader numbers them, up to the next first column;
    // else, without names, while they repeat no column).
    std::vector<std::vector<vocab::ForeignKeyPair>> keys;
    for (vocab::ForeignKeyPair& p : vocab::allForeignKeys(source_)) {
        if (!flagSet(p.element) || notCreated_.count(p.referencingTable) || notCreated_.count(p.referencedTable))
            continue;
        if (!keys.empty()) {
            const auto& k = keys.back();
            const auto& first = k.front();
            bool joins = first.referencingTable == p.referencingTable && first.referencedTable == p.referencedTable &&
                         first.name == p.name &&
                         k.back().element.parent() == p.element.parent();
            if (joins && p.ordinal > 0)
                joins = p.ordinal > k.back().ordinal && k.back().ordinal > 0;
            else if (joins && p.name.empty())
                joins = std::none_of(k.begin(), k.end(), [&p](const vocab::ForeignKeyPair& q) {
                    return q.referencingColumn == p.referencingColumn || q.referencedColumn == p.referencedColumn;
                });
            if (joins) {
                keys.back().push_back(std::move(p));
                continue;
            }
        }
        keys.push_back({std::move(p)});
    }

    bool result = true;
    for (const auto& key : keys) {
        const vocab::ForeignKeyPair& first = key.front();
        const std::string fk = newName("FK_");
        const std::string name = first.name.empty() ? fk : first.name;
        raiseProgress(name, "Foreign Key", presentStatus_);
        std::vector<std::string> from, to;
        bool complete = !first.referencingTable.empty() && !first.referencedTable.empty();
        for (const auto& p : key) {
            complete = complete && !p.referencingColumn.empty() && !p.referencedColumn.empty();
            from.push_back(p.referencingColumn);
            to.push_back(p.referencedColumn);
        }
        if (!complete) {
            raiseError(db::err::Fail, "The foreign key does not name its tables and columns.", name, "");
            result = false;
            continue;
        }
        std::string statement = "Alter table " + t.name(first.referencingTable) + " ADD CONSTRAINT " + t.name(fk) +
                                " FOREIGN KEY (" + t.names(from) + ") References " + t.name(first.referencedTable) +
                                "(" + t.names(to) + ")";
        const std::string onDelete = ruleWord(first.deleteRule), onUpdate = ruleWord(first.updateRule);
        if (onDelete == "CASCADE" && t.deleteCascade) statement += " ON DELETE CASCADE";
        if (onDelete == "SETNULL" && t.deleteSetNull) statement += " ON DELETE SET NULL";
        if (onUpdate == "CASCADE" && t.updateCascade) statement += " ON UPDATE CASCADE";
        if (onUpdate == "SETNULL" && t.updateSetNull) statement += " ON UPDATE SET NULL";
        if (!runStatement(statement, name, "Foreign Key")) result = false;
    }
    return result;
}

std::vector<std::string> cMigrate::SplitScript(const std::string& script) {
    // What the scan is inside of where a line ends; a "Go" line counts only outside all of them.
    enum class In { Code, Brackets, DoubleQuotes, Quotes, Backquotes, BlockComment };
    In in = In::Code;
    std::vector<std::string> pieces;
    std::string piece;
    auto finish = [&] {
        std::string p = text::trim(piece);
        if (!p.empty()) pieces.push_back(std::move(p));
        piece.clear();
    };
    // Advances the state over one line. A quote doubled inside its own quotes stands for itself:
    // read as a close and a reopen, and "]]" skipped.
    auto scan = [&in](std::string_view line) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            const char next = i + 1 < line.size() ? line[i + 1] : '\0';
            switch (in) {
            case In::Code:
                if (c == '[') in = In::Brackets;
                else if (c == '"') in = In::DoubleQuotes;
                else if (c == '\'') in = In::Quotes;
                else if (c == '`') in = In::Backquotes;
                else if (c == '-' && next == '-') return;  // the rest of the line is a comment
                else if (c == '/' && next == '*') {
                    in = In::BlockComment;
                    ++i;
                }
                break;
            case In::Brackets:
                if (c == ']' && next == ']') ++i;
                else if (c == ']') in = In::Code;
                break;
            case In::DoubleQuotes: if (c == '"') in = In::Code; break;
            case In::Quotes: if (c == '\'') in = In::Code; break;
            case In::Backquotes: if (c == '`') in = In::Code; break;
            case In::BlockComment:
                if (c == '*' && next == '/') {
                    in = In::Code;
                    ++i;
                }
                break;
            }
        }
    };
    std::size_t start = 0;
    while (start <= script.size()) {
        std::size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        const std::string_view line = std::string_view(script).substr(start, end - start);
        if (in == In::Code && text::lower(text::trim(line)) == "go") {
            finish();
        } else {
            scan(line);
            piece.append(line);
            if (end < script.size()) piece += '\n';
        }
        start = end + 1;
    }
    finish();
    return pieces;
}

bool cMigrate::ExecuteAll(const std::string& script) {
    if (!connection_ && !OpenTargetConnection()) {
        objectsMigrated_ = 0;
        return false;
    }
    bool ok = true;
    int executed = 0;
    for (const std::string& piece : SplitScript(script)) {
        try {
            connection_->execute(piece);
            ++executed;
        } catch (const db::Error& e) {
            raiseError(e.number(), e.description(), "", piece);
            ok = false;
        }
    }
    objectsMigrated_ = executed;
    return ok;
}
