#include "migration/cMigrate.h"

#include "core/bGlobal.h"
#include "options/StructureVocabulary.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
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

// The length of a name in UTF-8 bytes, or in characters.
std::size_t nameLength(std::string_view name, bool bytes) {
    if (bytes) return name.size();
    return static_cast<std::size_t>(
        std::count_if(name.begin(), name.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The longest start of a name that fits in length, never ending inside a character.
std::string nameStart(const std::string& name, std::size_t length, bool bytes) {
    std::size_t end = 0, counted = 0;
    while (end < name.size()) {
        std::size_t next = end + 1;
        while (next < name.size() && (static_cast<unsigned char>(name[next]) & 0xC0) == 0x80) ++next;
        counted += bytes ? next - end : 1;
        if (counted > length) break;
        end = next;
    }
    return name.substr(0, end);
}

std::uint32_t nameHash(std::string_view text) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

// Names of one scope, each as the target takes it: one that fits stays as it is; a longer one
// becomes its start, "_" and four hexadecimal digits of the whole name, the same on every run,
// distinct from every other name of the scope (compared without case, as unquoted names fold).
class NameScope {
public:
    NameScope(std::size_t limit, bool bytes) : limit_(limit), bytes_(bytes) {}
    // Names that fit are kept first, so that no shortened name takes one of them.
    void reserve(const std::string& name) {
        if (nameLength(name, bytes_) <= limit_) taken_.insert(text::upper(name));
    }
    std::string fit(const std::string& name) {
        if (nameLength(name, bytes_) <= limit_) {
            taken_.insert(text::upper(name));
            return name;
        }
        static constexpr char hex[] = "0123456789ABCDEF";
        for (int salt = 0;; ++salt) {
            std::uint32_t h = nameHash(salt ? name + "#" + std::to_string(salt) : name);
            std::string tail = "_";
            for (int i = 0; i < 4; ++i, h >>= 4) tail += hex[h & 15];
            std::string shortened = nameStart(name, limit_ - tail.size(), bytes_) + tail;
            if (taken_.insert(text::upper(shortened)).second) return shortened;
        }
    }

private:
    std::size_t limit_;
    bool bytes_;
    std::set<std::string> taken_;
};

// What a value of a written type takes in a row or a key, as the target counts it.
struct TypeSize {
    long bytes = 0;
    bool lob = false;       // a large-object type: no key holds it
    bool variable = false;  // its length varies with the value
    int perCharacter = 0;   // bytes per character of a length-taking type, else 0
};

TypeSize typeSize(const std::string& written, const std::string& code) {
    const std::string t = text::lower(text::trim(written));
    const std::size_t open = t.find('(');
    const std::string name = text::trim(std::string_view(t).substr(0, open));
    long n = 0, p = 0;
    if (open != std::string::npos) {
        n = std::strtol(t.c_str() + open + 1, nullptr, 10);
        p = n;
    }
    // Large objects, as each target names them.
    static const std::set<std::string> sqlServerLobs{"text", "ntext", "image"},
        oracleLobs{"clob", "nclob", "blob", "long", "long raw", "bfile"},
        db2Lobs{"clob", "dbclob", "blob", "long varchar", "long vargraphic"}, accessLobs{"memo", "longbinary"};
    const std::set<std::string>& lobs = code == "ORACLE"                 ? oracleLobs
                                        : code == "IBMDB2"               ? db2Lobs
                                        : code == "ACCESS"               ? accessLobs
                                                                         : sqlServerLobs;
    if (lobs.count(name)) {
        // In the row: SQL Server's pointer, DB2's descriptor of a LOB of one megabyte.
        const long inRow = code == "IBMDB2" ? 168 : code.rfind("SQLSERVER", 0) == 0 ? 16 : 0;
        return {inRow, true, false, 0};
    }
    static const std::set<std::string> single{"char", "character", "binary", "raw", "varchar", "varchar2", "varbinary"};
    static const std::set<std::string> wide{"nchar", "graphic", "nvarchar", "nvarchar2", "vargraphic"};
    const bool var = name.rfind("var", 0) == 0 || name.rfind("nvar", 0) == 0;
    if (single.count(name)) return {std::max(n, 1L), false, var, 1};
    if (wide.count(name)) return {2 * std::max(n, 1L), false, var, 2};
    if (name == "decimal" || name == "numeric" || name == "number" || name == "dec") {
        if (code == "ORACLE") return {22};
        if (p <= 0) p = code == "IBMDB2" ? 5 : 18;
        if (code == "IBMDB2") return {p / 2 + 1};
        return {p <= 9 ? 5L : p <= 19 ? 9L : p <= 28 ? 13L : 17L};
    }
    if (name == "float") return {code == "ORACLE" ? 22L : 8L};
    if (name == "date") return {code == "ORACLE" ? 7L : code == "IBMDB2" ? 4L : 8L};
    if (name == "timestamp") return {code == "ORACLE" ? 11L : 10L};
    if (name == "timestamp with time zone") return {13};
    static const std::pair<const char*, long> fixed[] = {
        {"bit", 1},      {"yesno", 1},    {"byte", 1},          {"tinyint", 1},       {"smallint", 2},
        {"int", 4},      {"integer", 4},  {"counter", 4},       {"bigint", 8},        {"real", 4},
        {"double", 8},   {"money", 8},    {"currency", 8},      {"smallmoney", 4},    {"datetime", 8},
        {"smalldatetime", 4}, {"time", 3}, {"uniqueidentifier", 16}};
    for (const auto& [fixedName, bytes] : fixed)
        if (name == fixedName) return {bytes};
    return {22};
}

// A whole number the target can count up (an identity, a sequence's values).
bool countable(const std::string& written) {
    const std::string t = text::lower(text::trim(written));
    const std::string name = text::trim(std::string_view(t).substr(0, t.find('(')));
    if (name == "tinyint" || name == "smallint" || name == "int" || name == "integer" || name == "bigint" ||
        name == "byte")
        return true;
    if (name != "decimal" && name != "numeric" && name != "number") return false;
    const std::size_t comma = t.find(',');
    return t.find('(') != std::string::npos && (comma == std::string::npos || std::atol(t.c_str() + comma + 1) == 0);
}

bool holdsTimeZone(const std::string& type) {
    const std::string t = text::lower(text::trim(type));
    return t == "timestamptz" || t == "timetz" || t.find("with time zone") != std::string::npos ||
           t.find("with local time zone") != std::string::npos;
}

}  // namespace

// A source column's type on the target, and what it keeps less than the source's.
struct cMigrate::TypeMatch {
    std::string type;  // "" when unmatched
    std::string lost;  // "" when nothing
    bool lengthFree = false;  // a length-taking type whose source gives no length
};

// The newest version a target code names takes at most these.
struct cMigrate::Limits {
    std::size_t tableName, columnName, objectName;  // objects: keys, indexes, sequences, triggers
    bool nameBytes;                                 // name lengths in UTF-8 bytes, else characters
    std::size_t tableColumns;
    long rowBytes;      // 0: not checked
    bool fixedRowOnly;  // only fixed-length columns count towards rowBytes (the rest only warn)
    std::size_t keyColumns;
    long keyBytes;        // 0: not checked
    long keyColumnBytes;  // what a key adds per column
    const char* version;  // as the outcome names it
};

// What distinguishes the targets.
struct cMigrate::Target {
    const char* code;          // map code and target type
    const char* reportedName;  // TargetDatabase of MigrationDataTypeError
    const char* typeError;     // description of MigrationDataTypeError
    Quote quote;
    bool quoteAlways;
    bool deleteCascade, deleteSetNull, updateCascade, updateSetNull;
    // How an auto-increment column is written: its clause after the type, or (Access) its type;
    // "" where a sequence and a trigger number it.
    const char* autoIncrement;
    bool autoIncrementType;
    // A unique index holds NULLs as equal (one NULL key): it expresses NULLS NOT DISTINCT.
    bool nullsAsOne;
    // A foreign key refers only to a key or a UNIQUE constraint, not to a unique index; and
    // (DB2) a UNIQUE constraint's columns are NOT NULL.
    bool refersToConstraints, constraintsNotNull;
    Limits limits;

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
// Oracle 9i with 8 KB blocks refuses keys beyond 3218 bytes, counting a byte per column and 9
// of its own; DB2 Version 7 counts rows up to its 32 KB pages.
const cMigrate::Target kAccess{"ACCESS", "ACCESS", "Datatype could not be matched", Quote::Brackets, true,
                               true, true, true, true, "COUNTER", true, false, false, false,
                               {64, 64, 64, false, 255, 0, false, 10, 0, 0, "Access"}};
const cMigrate::Target kSqlServer{"SQLSERVER", "SQLSERVER", "Datatype couldnot be matched", Quote::Brackets, true,
                                  true, false, true, false, " IDENTITY(1,1)", false, true, false, false,
                                  {128, 128, 128, false, 1024, 8060, true, 16, 900, 0, "SQL Server 2000"}};
const cMigrate::Target kSqlServer65{"SQLSERVER65", "SQLSERVER", "Datatype couldnot be matched", Quote::Brackets,
                                    false, false, false, false, false, " IDENTITY(1,1)", false, true, false, false,
                                    {30, 30, 30, false, 250, 1962, true, 16, 900, 0, "SQL Server 6.5"}};
const cMigrate::Target kOracle{"ORACLE", "ORACLE", "Datatype could not be matched", Quote::DoubleQuotes, false,
                               true, true, false, false, "", false, false, true, false,
                               {30, 30, 30, true, 1000, 0, false, 32, 3209, 1, "Oracle 9i"}};
const cMigrate::Target kDb2{"IBMDB2", "IBMDB2", "Datatype couldnot be matched", Quote::DoubleQuotes, false,
                            true, true, false, false, " GENERATED BY DEFAULT AS IDENTITY", false, true, true, true,
                            {128, 30, 18, true, 1012, 32677, false, 16, 1024, 0, "DB2 Version 7"}};
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

cMigrate::TypeMatch cMigrate::MatchDataType(const xml::Node& column, const std::string& sourceType,
                                            const std::string& sourceCode, const std::string& targetCode, bool indexed,
                                            long keyLength) {
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
    const long declared = toLong(lengthText), declaredScale = toLong(scaleText);
    const bool lengthType = toLong(target.attribute("LengthAllowed")) == 1;
    const bool scaleType = toLong(target.attribute("ScaleAllowed")) == 1;
    std::string shown = text::trim(sourceType);
    if (declared > 0 && shown.find('(') == std::string::npos && labelLength < 0 && (lengthType || scaleType))
        shown += "(" + std::to_string(declared) + (scaleType && declaredScale > 0 ? "," + scaleText : "") + ")";
    TypeMatch match;
    match.lengthFree = lengthType && declared <= 0;
    auto lose = [&](const std::string& what) {
        match.lost = shown + " becomes " + match.type + ": " + what;
        return match;
    };
    // A length-taking type without a source length, or with one beyond the target's, gets the
    // target's large-object type; where it has none or a key or index needs a bounded type, its
    // largest length (never the target's default of one character, or an error), or the length
    // the key leaves it.
    if (lengthType && (declared <= 0 || declared > max) && !indexed && target.hasAttribute("Unbounded")) {
        match.type = target.attribute("Unbounded");
        return match;
    }
    if (scaleType && declared <= 0 && target.hasAttribute("Unbounded")) {
        match.type = target.attribute("Unbounded");
        // A number of any size, held in a fixed precision and scale.
        const std::string t = match.type;
        const long p = t.find('(') == std::string::npos ? 0 : std::atol(t.c_str() + t.find('(') + 1);
        const long fraction = t.find(',') == std::string::npos ? 0 : std::atol(t.c_str() + t.find(',') + 1);
        if (p > 0)
            return lose("at most " + std::to_string(p - fraction) + " digits before the decimal point and " +
                        std::to_string(fraction) + " after");
        return match;
    }
    long n = declared > 0 ? std::min(declared, max) : declared;
    if (lengthType) {
        if (n <= 0) n = indexed && keyLength > 0 ? std::min(keyLength, max) : max;
        if (n > 0) result += "(" + std::to_string(n) + ")";
        match.type = result;
        if (labelLength > max && max > 0) return lose("labels longer than " + std::to_string(max) + " do not fit");
        if (declared > max && max > 0) return lose("longer values do not fit");
        if (declared <= 0 && n > 0) return lose("a key or index holds it, and longer values do not fit");
        return match;
    }
    if (scaleType && n > 0) {
        const long scale = std::min(declaredScale, n);
        result += "(" + std::to_string(n) + (scale > 0 ? "," + std::to_string(scale) : std::string()) + ")";
        match.type = result;
        const long before = (declared - declaredScale) - (n - scale), after = declaredScale - scale;
        if (before > 0 || after > 0) {
            std::string what;
            if (before > 0) what = std::to_string(before) + " fewer digits before the decimal point";
            if (after > 0) what += (what.empty() ? "" : " and ") + std::to_string(after) + " fewer after it";
            return lose(what);
        }
        return match;
    }
    match.type = result;
    // Dates and times: a time zone the target type does not hold, and fractions of a second
    // beyond those it keeps (the schema-rowset reader gives their digits as the length).
    std::vector<std::string> lost;
    if (holdsTimeZone(type) && !holdsTimeZone(result)) lost.emplace_back("its time zone");
    if (target.hasAttribute("Fraction") && sc == "OTHERS" && declared > toLong(target.attribute("Fraction"))) {
        const long kept = toLong(target.attribute("Fraction"));
        lost.push_back("its fractions of a second" + (kept > 0 ? " beyond " + std::to_string(kept) + " digits" : ""));
    }
    if (!lost.empty()) return lose(lost.size() == 1 ? lost[0] + " is lost" : lost[0] + " and " + lost[1] + " are lost");
    return match;
}

void cMigrate::AddQuery(const std::string& statement) {
    script_ += statement + kLineEnd + "Go" + kLineEnd + kLineEnd;
}

bool cMigrate::runStatement(const std::string& statement, const std::string& objectName, const std::string& objectType) {
    const bool ok = runPart(statement, objectName, true);
    if (ok) {
        raiseProgress(objectName, objectType, pastStatus_);
        ++objectsMigrated_;
    }
    return ok;
}

bool cMigrate::runPart(const std::string& statement, const std::string& objectName, bool execute) {
    bool ok = true;
    if (executeImmediately_ && execute) {
        try {
            connection_->execute(statement);
        } catch (const db::Error& e) {
            raiseError(e.number(), e.description(), objectName, statement);
            ok = false;
        }
    }
    AddQuery(statement);
    return ok && execute;
}

std::string cMigrate::newName(const char* prefix) {
    std::uniform_int_distribution<int> digits(10000, 99999);
    std::string name;
    do name = prefix + std::to_string(digits(random_));
    while (!usedNames_.insert(name).second);
    return name;
}

// What a run writes, decided before anything runs.
struct cMigrate::Plan {
    struct Column {
        xml::Node node;
        std::string source, name;  // the source's name and the target's
        std::string sourceType;
        TypeMatch natural, bounded;  // as it stands, and where a key, index or foreign key holds it
        std::string type, lost;      // as written
        long keyLength = 0;          // the length a key leaves a column whose source gives none
        bool keyed = false, notNull = false, counted = false;
        std::string numbering;  // written after the type (an identity clause), or in its place
    };
    struct Table {
        xml::Node node;
        std::string source, name;
        bool migrated = false, created = false;
        std::string why;  // why it cannot be created
        std::vector<Column> columns;
        std::string sequence, trigger, countedColumn;  // numbering by a sequence and a trigger
        Column* column(const std::string& source) {
            for (Column& c : columns)
                if (c.source == source) return &c;
            return nullptr;
        }
        std::string columnName(const std::string& source) {
            const Column* c = column(source);
            return c ? c->name : source;
        }
        bool written() const { return !migrated || created; }
    };
    struct Index {
        std::size_t table = 0;
        std::string report;  // the name progress and errors give
        std::vector<std::string> columns;
        bool primary = false, unique = false;
        bool constraint = false;  // a unique index written as a UNIQUE constraint
        std::string leftOut;      // why it is not written
    };
    struct ForeignKey {
        std::string report, name;
        std::string fromTable, toTable;  // source names
        std::optional<std::size_t> from, to;
        std::vector<std::string> fromColumns, toColumns;
        std::string deleteRule, updateRule;
        std::string leftOut;
    };
    std::vector<Table> tables;
    std::map<std::string, std::size_t> byName;
    std::vector<Index> indexes;
    std::vector<ForeignKey> foreignKeys;
    std::string sourceCode;
    bool failed = false;

    std::optional<std::size_t> find(const std::string& name) const {
        const auto it = byName.find(name);
        return it == byName.end() ? std::nullopt : std::optional<std::size_t>(it->second);
    }
    std::string tableName(const std::string& source) const {
        const auto at = find(source);
        return at ? tables[*at].name : source;
    }
};

namespace {

// A column the source numbers itself: MariaDB's AUTO_INCREMENT, a PostgreSQL identity, or a
// serial (a default from the sequence the column owns).
bool numberedAtSource(const xml::Node& c) {
    if (vocab::autoIncrement(c)) return true;
    const std::string d = text::upper(text::trim(vocab::columnDefault(c)));
    if (d.rfind("GENERATED ", 0) == 0 && d.find("AS IDENTITY") != std::string::npos) return true;
    return !text::trim(c.attribute("Owned_Sequence")).empty() && d.rfind("NEXTVAL(", 0) == 0;
}

// The length written in a type ("varchar(900)" gives 900), 0 when none.
long writtenLength(const std::string& type) {
    const std::size_t open = type.find('(');
    return open == std::string::npos ? 0 : std::atol(type.c_str() + open + 1);
}

std::string limitWords(const cMigrate::Limits& l, std::size_t limit) {
    return std::to_string(limit) + (l.nameBytes ? " bytes" : " characters");
}

}  // namespace

void cMigrate::planRun(const Target& t, const std::string& sourceCode) {
    plan_ = std::make_unique<Plan>();
    Plan& p = *plan_;
    const Limits& l = t.limits;
    p.sourceCode = sourceCode;
    sqliteSource_ = text::lower(source_.documentElement().attribute("DBMS_Name")).rfind("sqlite", 0) == 0;

    NameScope schema(l.tableName, l.nameBytes);
    for (const xml::Node& node : source_.selectNodes("/DATABASE/TABLE")) {
        Plan::Table table;
        table.node = node;
        table.source = node.attribute("Name");
        table.migrated = flagSet(node);
        p.byName.emplace(table.source, p.tables.size());
        schema.reserve(table.source);
        p.tables.push_back(std::move(table));
    }
    for (Plan::Table& table : p.tables) table.name = schema.fit(table.source);
    // Sequences and triggers, named after their tables, take no table's name.
    NameScope objects(l.objectName, l.nameBytes);
    for (const Plan::Table& table : p.tables) objects.reserve(table.name);

    for (Plan::Table& table : p.tables) {
        const std::vector<xml::Node> columns = vocab::tableColumns(table.node);
        NameScope scope(l.columnName, l.nameBytes);
        for (const xml::Node& c : columns) scope.reserve(vocab::columnName(c));
        std::string untyped;
        bool unnamed = false;
        for (const xml::Node& c : columns) {
            Plan::Column column;
            column.node = c;
            column.source = vocab::columnName(c);
            column.name = column.source.empty() ? std::string() : scope.fit(column.source);
            column.sourceType = vocab::dataType(c);
            unnamed = unnamed || column.source.empty();
            currentColumn_ = table.source + "." + column.source;
            column.natural = MatchDataType(c, column.sourceType, sourceCode, t.code, false);
            column.bounded = MatchDataType(c, column.sourceType, sourceCode, t.code, true);
            column.notNull = !vocab::nullAllowed(c) || vocab::inPrimaryKey(c);
            column.counted = numberedAtSource(c);
            if (table.migrated && !column.source.empty() && column.natural.type.empty()) {
                untyped += (untyped.empty() ? "" : ", ") + t.name(column.name) + " (" + column.sourceType + ")";
                if (MigrationDataTypeError)
                    MigrationDataTypeError(t.typeError, sourceCode, t.reportedName, column.sourceType);
            }
            table.columns.push_back(std::move(column));
        }
        if (!table.migrated) continue;
        if (table.source.empty())
            table.why = "The table has no name.";
        else if (columns.empty())
            table.why = "The table has no columns.";
        else if (unnamed)
            table.why = "A column of the table has no name.";
        else if (!untyped.empty())
            table.why = "The table is not created: no type on the target for " + untyped + ".";
        else if (columns.size() > l.tableColumns)
            table.why = "The table is not created: it has " + std::to_string(columns.size()) + " columns, and " +
                        l.version + " takes at most " + std::to_string(l.tableColumns) + ".";
        table.created = table.why.empty();
    }

    planKeys(t);
    planForeignKeys(t);

    // The types as written: bounded where a key, an index or a foreign key holds the column.
    for (Plan::Table& table : p.tables) {
        for (Plan::Column& c : table.columns) {
            if (c.keyed && c.keyLength > 0 && c.bounded.lengthFree)
                c.bounded = MatchDataType(c.node, c.sourceType, sourceCode, t.code, true, c.keyLength);
            const TypeMatch& m = c.keyed ? c.bounded : c.natural;
            c.type = m.type;
            c.lost = m.lost;
        }
        if (!table.migrated || !table.created) continue;
        if (l.rowBytes > 0) {
            long bytes = 0;
            for (const Plan::Column& c : table.columns) {
                const TypeSize size = typeSize(c.type, t.code);
                if (l.fixedRowOnly && size.variable) continue;
                bytes += size.bytes + (size.variable ? 4 : 0);
            }
            if (bytes > l.rowBytes) {
                table.created = false;
                table.why = "The table is not created: its " + std::string(l.fixedRowOnly ? "fixed-length " : "") +
                            "columns take up to " + std::to_string(bytes) + " bytes of a row, and " + l.version +
                            " takes at most " + std::to_string(l.rowBytes) + ".";
            }
        }
        // One column of a table numbers its rows; Oracle 9i does it with a sequence and a trigger.
        bool numbered = false;
        for (Plan::Column& c : table.columns) {
            if (!c.counted) continue;
            if (numbered) {
                c.lost += std::string(c.lost.empty() ? "" : "; ") + "its numbering is lost: " + l.version +
                          " numbers one column of a table";
                continue;
            }
            if (!countable(c.type)) {
                c.lost += std::string(c.lost.empty() ? "" : "; ") + "its numbering is lost: " + c.type +
                          " is not a whole number the target can count up";
                continue;
            }
            numbered = true;
            if (t.autoIncrementType) {
                c.numbering = t.autoIncrement;
                if (typeSize(c.type, t.code).bytes > 4)
                    c.lost += std::string(c.lost.empty() ? "" : "; ") + c.sourceType + " becomes " + t.autoIncrement +
                              ": numbers beyond 2147483647 do not fit";
            } else if (*t.autoIncrement) {
                c.numbering = t.autoIncrement;
            } else {
                table.sequence = objects.fit(table.source + "_SEQ");
                table.trigger = objects.fit(table.source + "_TRG");
                table.countedColumn = c.source;
            }
        }
    }

    // Reported before anything runs: what cannot be created, what is left out, what changes.
    for (const Plan::Table& table : p.tables)
        if (table.migrated && !table.created) {
            raiseError(db::err::Fail, table.why, t.name(table.name), "");
            p.failed = true;
        }
    for (const Plan::Index& index : p.indexes)
        if (!index.leftOut.empty() && p.tables[index.table].written()) {
            raiseError(db::err::Fail, index.leftOut, index.report, "");
            p.failed = true;
        }
    for (const Plan::ForeignKey& key : p.foreignKeys)
        if (!key.leftOut.empty()) {
            raiseError(db::err::Fail, key.leftOut, key.report, "");
            p.failed = true;
        }
    if (!MigrationChange) return;
    for (const Plan::Table& table : p.tables) {
        if (!table.migrated || !table.created) continue;
        if (table.name != table.source)
            MigrationChange(table.source, "The name is shortened to " + table.name + ": " + l.version +
                                              " takes names of at most " + limitWords(l, l.tableName) + ".");
        for (const Plan::Column& c : table.columns) {
            const std::string object = table.source + "." + c.source;
            if (c.name != c.source)
                MigrationChange(object, "The name is shortened to " + c.name + ": " + l.version +
                                            " takes column names of at most " + limitWords(l, l.columnName) + ".");
            if (!c.lost.empty()) MigrationChange(object, c.lost + ".");
            if (c.source == table.countedColumn && !table.sequence.empty())
                MigrationChange(object, "Numbered by the sequence " + table.sequence + " and the trigger " +
                                            table.trigger + ": " + l.version + " has no identity columns.");
        }
    }
}

void cMigrate::planKeys(const Target& t) {
    Plan& p = *plan_;
    const Limits& l = t.limits;
    auto unique = [](const xml::Node& index) {
        return vocab::indexUnique(index) || text::lower(index.attribute("Primary_Key")).find("unique") != std::string::npos;
    };
    for (std::size_t ti = 0; ti < p.tables.size(); ++ti) {
        Plan::Table& table = p.tables[ti];
        if (!table.written()) continue;
        const xml::NodeList indexes = table.node.selectNodes("INDEX");
        const std::vector<std::string> keyColumns = vocab::primaryKeyColumns(table.node);
        // The key's own index: the one flagged as the key, or, from readers that flag none but
        // mark the key's columns, the unique index over exactly those columns.
        std::optional<std::size_t> keyIndex;
        for (std::size_t i = 0; i < indexes.size() && !keyIndex; ++i)
            if (vocab::indexPrimary(indexes[i])) keyIndex = i;
        for (std::size_t i = 0; i < indexes.size() && !keyIndex && !keyColumns.empty(); ++i)
            if (unique(indexes[i]) && vocab::indexEngineForm(indexes[i]).empty() &&
                sameSet(vocab::indexColumns(indexes[i]), keyColumns))
                keyIndex = i;

        bool keyWritten = false;
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            const xml::Node& node = indexes[i];
            if (!flagSet(node)) continue;
            Plan::Index index;
            index.report = node.attribute("Name");
            const std::string tableName = node.attribute("Table_Name");
            index.table = tableName.empty() ? ti : p.find(tableName).value_or(ti);
            if (!p.tables[index.table].written()) continue;
            // A condition, an expression or a prefix is the source engine's text, and NULLs held
            // equal are not every target's: the index is left out (never made over all rows or
            // whole columns, nor letting in what the source refuses) and named in the summary.
            // INCLUDE columns take no part in what it allows: it is made without them.
            std::string form = vocab::indexEngineForm(node);
            if (form.empty() && !t.nullsAsOne && vocab::isTrueText(node.attribute("Nulls_Not_Distinct")))
                form = "NULL keys as equal (NULLS NOT DISTINCT)";
            index.columns = vocab::indexColumns(node);
            index.primary = keyIndex == i;
            index.unique = unique(node);
            if (!form.empty() && !index.primary)
                index.leftOut = "The index is left out: it holds " + form + ", which the target cannot express.";
            else if (index.columns.empty())
                index.leftOut = "The index names no columns.";
            keyWritten = keyWritten || (index.primary && index.leftOut.empty());
            p.indexes.push_back(std::move(index));
        }
        // A migrated table has its key even where the structure has no index for it or the
        // key's index was not selected: foreign keys to it need one.
        if (!keyWritten && table.migrated) {
            Plan::Index key;
            key.table = ti;
            key.primary = true;
            key.columns = keyIndex ? vocab::indexColumns(indexes[*keyIndex]) : keyColumns;
            for (const xml::Node& c : vocab::tableColumns(table.node))
                if (vocab::inPrimaryKey(c)) {
                    key.report = c.attribute("Primary_Key");  // the key's own name where the reader gives one
                    break;
                }
            if (key.report.empty() || vocab::isTrueText(key.report)) key.report = table.source;
            if (!key.columns.empty()) p.indexes.push_back(std::move(key));
        }
    }

    // What the target's keys hold: no large-object column, so many columns and bytes. A column
    // whose source gives no length gets what the key leaves it.
    for (Plan::Index& index : p.indexes) {
        if (!index.leftOut.empty()) continue;
        Plan::Table& table = p.tables[index.table];
        const std::string what = index.primary ? "The key" : "The index";
        std::vector<Plan::Column*> columns;
        for (const std::string& name : index.columns) columns.push_back(table.column(name));
        if (std::find(columns.begin(), columns.end(), nullptr) != columns.end()) continue;  // the target says
        if (columns.size() > l.keyColumns) {
            index.leftOut = what + " is left out: it has " + std::to_string(columns.size()) + " columns, and " +
                            l.version + " takes at most " + std::to_string(l.keyColumns) + " in a key.";
            continue;
        }
        long total = 0, open = 0;
        std::vector<std::pair<Plan::Column*, TypeSize>> free;
        for (Plan::Column* c : columns) {
            const std::string type = c->keyLength > 0 && c->bounded.lengthFree
                                         ? MatchDataType(c->node, c->sourceType, plan_->sourceCode, t.code, true,
                                                         c->keyLength).type
                                         : c->bounded.type;
            const TypeSize size = typeSize(type, t.code);
            if (size.lob) {
                index.leftOut = what + " is left out: its column " + c->source + " is of the large-object type " +
                                type + ", which no key or index of " + l.version + " holds.";
                break;
            }
            total += size.bytes + l.keyColumnBytes;
            if (c->bounded.lengthFree && size.perCharacter > 0) {
                free.emplace_back(c, size);
                open += size.bytes;
            }
        }
        if (!index.leftOut.empty() || l.keyBytes <= 0 || total <= l.keyBytes) continue;
        if (!free.empty()) {
            const long share = (l.keyBytes - (total - open)) / static_cast<long>(free.size());
            if (std::all_of(free.begin(), free.end(), [share](const auto& f) { return share / f.second.perCharacter > 0; })) {
                for (auto& [c, size] : free) c->keyLength = std::min(size.bytes, share) / size.perCharacter;
                continue;
            }
        }
        index.leftOut = what + " is left out: its columns take up to " + std::to_string(total) + " bytes, and " +
                        l.version + " takes at most " + std::to_string(l.keyBytes) + " in a key.";
    }
    for (const Plan::Index& index : p.indexes)
        if (index.leftOut.empty())
            for (const std::string& name : index.columns)
                if (Plan::Column* c = p.tables[index.table].column(name)) c->keyed = true;
}

void cMigrate::planForeignKeys(const Target& t) {
    Plan& p = *plan_;
    const Limits& l = t.limits;
    // One element per column pair: the pairs of one key are joined into one constraint (same
    // name and tables, consecutive; where the reader numbers them, up to the next first column;
    // else, without names, while they repeat no column).
    std::vector<std::vector<vocab::ForeignKeyPair>> keys;
    for (vocab::ForeignKeyPair& pair : vocab::allForeignKeys(source_)) {
        if (!flagSet(pair.element)) continue;
        const auto from = p.find(pair.referencingTable), to = p.find(pair.referencedTable);
        if ((from && !p.tables[*from].written()) || (to && !p.tables[*to].written())) continue;
        if (!keys.empty()) {
            const auto& k = keys.back();
            const auto& first = k.front();
            bool joins = first.referencingTable == pair.referencingTable &&
                         first.referencedTable == pair.referencedTable && first.name == pair.name &&
                         k.back().element.parent() == pair.element.parent();
            if (joins && pair.ordinal > 0)
                joins = pair.ordinal > k.back().ordinal && k.back().ordinal > 0;
            else if (joins && pair.name.empty())
                joins = std::none_of(k.begin(), k.end(), [&pair](const vocab::ForeignKeyPair& q) {
                    return q.referencingColumn == pair.referencingColumn || q.referencedColumn == pair.referencedColumn;
                });
            if (joins) {
                keys.back().push_back(std::move(pair));
                continue;
            }
        }
        keys.push_back({std::move(pair)});
    }

    for (const auto& pairs : keys) {
        const vocab::ForeignKeyPair& first = pairs.front();
        Plan::ForeignKey key;
        key.name = newName("FK_");
        key.report = first.name.empty() ? key.name : first.name;
        key.fromTable = first.referencingTable;
        key.toTable = first.referencedTable;
        key.from = p.find(key.fromTable);
        key.to = p.find(key.toTable);
        key.deleteRule = first.deleteRule;
        key.updateRule = first.updateRule;
        bool complete = !key.fromTable.empty() && !key.toTable.empty();
        for (const auto& pair : pairs) {
            complete = complete && !pair.referencingColumn.empty() && !pair.referencedColumn.empty();
            key.fromColumns.push_back(pair.referencingColumn);
            key.toColumns.push_back(pair.referencedColumn);
        }
        if (!complete) {
            key.leftOut = "The foreign key does not name its tables and columns.";
        } else if (key.fromColumns.size() > l.keyColumns) {
            key.leftOut = "The foreign key is left out: it has " + std::to_string(key.fromColumns.size()) +
                          " columns, and " + l.version + " takes at most " + std::to_string(l.keyColumns) + ".";
        } else if (key.to) {
            // The key it refers to, where the structure has it, must be one the target gets; a
            // unique index becomes a UNIQUE constraint where only one is referred to.
            Plan::Index* kept = nullptr;
            bool dropped = false;
            for (Plan::Index& index : p.indexes)
                if (index.table == *key.to && (index.primary || index.unique) && sameSet(index.columns, key.toColumns)) {
                    if (!index.leftOut.empty()) dropped = true;
                    else if (!kept || index.primary) kept = &index;
                }
            if (!kept && dropped) key.leftOut = "The foreign key is left out: the key it refers to is left out.";
            if (kept && !kept->primary && t.refersToConstraints) {
                Plan::Table& table = p.tables[*key.to];
                const bool nullable = std::any_of(kept->columns.begin(), kept->columns.end(), [&](const std::string& c) {
                    const Plan::Column* column = table.column(c);
                    return !column || !column->notNull;
                });
                if (t.constraintsNotNull && nullable)
                    key.leftOut = "The foreign key is left out: it refers to a unique index whose columns may be NULL, "
                                  "and " + std::string(l.version) + " refers only to keys and to unique constraints "
                                  "over NOT NULL columns.";
                else
                    kept->constraint = true;
            }
        }
        if (key.leftOut.empty() && key.from)
            for (const std::string& name : key.fromColumns)
                if (const Plan::Column* c = p.tables[*key.from].column(name); c && typeSize(c->bounded.type, t.code).lob) {
                    key.leftOut = "The foreign key is left out: its column " + name + " is of the large-object type " +
                                  c->bounded.type + ", which no foreign key of " + l.version + " holds.";
                    break;
                }
        if (key.leftOut.empty()) {
            // Both ends take bounded types; a referencing column whose source gives no length
            // takes the length of the column it refers to.
            for (std::size_t i = 0; i < key.fromColumns.size(); ++i) {
                Plan::Column* from = key.from ? p.tables[*key.from].column(key.fromColumns[i]) : nullptr;
                Plan::Column* to = key.to ? p.tables[*key.to].column(key.toColumns[i]) : nullptr;
                if (to) to->keyed = true;
                if (!from) continue;
                from->keyed = true;
                if (to && from->bounded.lengthFree) {
                    const long length = to->keyLength > 0 && to->bounded.lengthFree ? to->keyLength
                                                                                     : writtenLength(to->bounded.type);
                    if (length > 0) from->keyLength = from->keyLength > 0 ? std::min(from->keyLength, length) : length;
                }
            }
        }
        p.foreignKeys.push_back(std::move(key));
    }
}

bool cMigrate::run(const Target& t, const std::string& sourceCode) {
    if (presentStatus_.empty()) ExecuteImmediately(executeImmediately_);
    targetType_ = t.code;
    if (!mapError_.empty()) raiseError(db::err::Fail, mapError_, "XML", mapPath_);
    // A script is written without the target; only running the statements needs it.
    const bool reached = OpenTargetConnection();
    if ((!reached && executeImmediately_) || !LoadSourceStructure()) return false;

    planRun(t, sourceCode);
    bool result = reached && !plan_->failed;
    for (Plan::Table& table : plan_->tables) {
        if (!table.migrated || !table.created) continue;
        raiseProgress(table.source, "Table", presentStatus_);
        const std::string quoted = t.name(table.name);
        std::string list;
        for (const Plan::Column& c : table.columns) {
            // A column the source numbers is numbered on the target too.
            list += (list.empty() ? "" : ",") + t.name(c.name) + " " +
                    (!c.numbering.empty() && t.autoIncrementType ? c.numbering : c.type + c.numbering);
            if (c.notNull) list += " NOT NULL";
        }
        const bool created = runStatement("Create Table " + quoted + "(" + list + ")", quoted, "Table");
        if (!created) result = false;
        if (table.sequence.empty()) continue;
        const std::string column = t.name(table.columnName(table.countedColumn)), sequence = t.name(table.sequence);
        if (!runPart("Create Sequence " + sequence, quoted, created) ||
            !runPart("Create Trigger " + t.name(table.trigger) + " Before Insert On " + quoted +
                         " For Each Row When (new." + column + " IS NULL) Begin Select " + sequence +
                         ".NEXTVAL Into :new." + column + " From dual; End;",
                     quoted, created))
            result = false;
    }
    if (!GenerateIndexes(t)) result = false;
    if (!GenerateForeignKeys(t)) result = false;
    return result;
}

bool cMigrate::GenerateIndexes(const Target& t) {
    bool result = true;
    for (const Plan::Index& index : plan_->indexes) {
        Plan::Table& table = plan_->tables[index.table];
        if (!index.leftOut.empty() || !table.written()) continue;
        raiseProgress(index.report, "Index", presentStatus_);
        std::vector<std::string> columns;
        for (const std::string& c : index.columns) columns.push_back(table.columnName(c));
        const std::string ix = newName("IX_");
        const std::string statement =
            index.primary || index.constraint
                ? "Alter table " + t.name(table.name) + " ADD CONSTRAINT " + t.name(ix) +
                      (index.primary ? " PRIMARY KEY (" : " UNIQUE (") + t.names(columns) + ")"
                : std::string("Create ") + (index.unique ? "UNIQUE " : "") + "INDEX " + t.name(ix) + " on " +
                      t.name(table.name) + "(" + t.names(columns) + ")";
        if (!runStatement(statement, index.report, "Index")) result = false;
    }
    return result;
}

bool cMigrate::GenerateForeignKeys(const Target& t) {
    bool result = true;
    for (const Plan::ForeignKey& key : plan_->foreignKeys) {
        if (!key.leftOut.empty()) continue;
        raiseProgress(key.report, "Foreign Key", presentStatus_);
        std::vector<std::string> from, to;
        for (const std::string& c : key.fromColumns) from.push_back(key.from ? plan_->tables[*key.from].columnName(c) : c);
        for (const std::string& c : key.toColumns) to.push_back(key.to ? plan_->tables[*key.to].columnName(c) : c);
        std::string statement = "Alter table " + t.name(plan_->tableName(key.fromTable)) + " ADD CONSTRAINT " +
                                t.name(key.name) + " FOREIGN KEY (" + t.names(from) + ") References " +
                                t.name(plan_->tableName(key.toTable)) + "(" + t.names(to) + ")";
        const std::string onDelete = ruleWord(key.deleteRule), onUpdate = ruleWord(key.updateRule);
        if (onDelete == "CASCADE" && t.deleteCascade) statement += " ON DELETE CASCADE";
        if (onDelete == "SETNULL" && t.deleteSetNull) statement += " ON DELETE SET NULL";
        if (onUpdate == "CASCADE" && t.updateCascade) statement += " ON UPDATE CASCADE";
        if (onUpdate == "SETNULL" && t.updateSetNull) statement += " ON UPDATE SET NULL";
        if (!runStatement(statement, key.report, "Foreign Key")) result = false;
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
