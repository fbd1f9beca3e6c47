// Schema rowsets built from the ODBC catalogue functions and, where ODBC has none, from the
// engine's INFORMATION_SCHEMA views.
#include "platform/db/Connection.h"
#include "platform/db/OdbcSupport.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace db {

namespace {

using Row = std::vector<Value>;
using Restriction = std::optional<std::string>;

using odbc::ok;

std::vector<FieldInfo> columns(std::initializer_list<std::pair<const char*, int>> list) {
    std::vector<FieldInfo> out;
    for (auto& [name, type] : list) {
        FieldInfo f;
        f.name = name;
        f.type = type;
        out.push_back(std::move(f));
    }
    return out;
}

// A server that orders names without regard to case gives names that differ only in case in
// any order: those go in byte order, so that every read lists them alike. `key` gives an
// item's scope (catalog and schema) and name.
template <class T, class Key>
void orderCaseTies(std::vector<T>& items, Key key) {
    for (size_t i = 0; i < items.size();) {
        const auto [scope, name] = key(items[i]);
        const std::string lower = text::lower(name);
        size_t j = i + 1;
        for (; j < items.size(); ++j) {
            const auto [s, n] = key(items[j]);
            if (s != scope || text::lower(n) != lower) break;
        }
        if (j - i > 1)
            std::stable_sort(items.begin() + i, items.begin() + j,
                             [&key](const T& a, const T& b) { return key(a).second < key(b).second; });
        i = j;
    }
}

class SchemaReader {
public:
    SchemaReader(const std::shared_ptr<ConnectionImpl>& c, const std::vector<Value>& restrictions)
        : c_(c), restrictions_(restrictions) {}

    ConnectionImpl& connection() const { return *c_; }

    bool isSqlite() const {
        SQLCHAR buf[64] = {};
        SQLSMALLINT len = 0;
        if (!ok(SQLGetInfo(c_->dbc, SQL_DBMS_NAME, buf, sizeof buf, &len))) return false;
        return std::string(reinterpret_cast<char*>(buf)).rfind("SQLite", 0) == 0;
    }

    Restriction r(size_t i) const {
        if (i >= restrictions_.size() || restrictions_[i].isNull()) return std::nullopt;
        std::string s = restrictions_[i].toString();
        if (s.empty()) return std::nullopt;
        return s;
    }

    // Runs one catalogue function and returns its rows by position.
    std::vector<Row> call(const std::function<SQLRETURN(SQLHSTMT)>& fn) {
        std::vector<Row> rows;
        each(fn, [&rows](Row& row) { rows.push_back(std::move(row)); });
        return rows;
    }

    // Runs one catalogue function and hands its rows over one at a time, as they are fetched.
    void each(const std::function<SQLRETURN(SQLHSTMT)>& fn, const std::function<void(Row&)>& take) {
        SQLHSTMT stmt = c_->newStatement();
        SQLRETURN rc;
        {
            Awaiting awaiting;
            rc = fn(stmt);
        }
        if (!ok(rc)) {
            try {
                c_->fail(SQL_HANDLE_STMT, stmt, "The driver could not provide the schema information.");
            } catch (const Error& e) {
                SQLFreeHandle(SQL_HANDLE_STMT, stmt);
                if (e.number() == err::NotSupported) throw notSupported();
                throw;
            }
        }
        StatementCursor cur;
        cur.conn = c_;
        cur.stmt = stmt;
        cur.generation = c_->generation;
        cur.describe();
        Row row;
        while (cur.next(row)) take(row);
    }

    // A parameterised query; any failure means the engine lacks the view: not supported.
    std::vector<Row> query(const std::string& sql, const std::vector<std::string>& params) {
        std::vector<Row> rows;
        queryEach(sql, params, [&rows](Row& row) { rows.push_back(row); });
        return rows;
    }

    // The same, its rows handed over one at a time, as they are fetched.
    void queryEach(const std::string& sql, const std::vector<std::string>& params, const std::function<void(Row&)>& take) {
        SQLHSTMT stmt = c_->newStatement();
        std::vector<SQLLEN> lens(params.size());
        bool good = ok(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS));
        for (size_t i = 0; good && i < params.size(); ++i) {
            lens[i] = static_cast<SQLLEN>(params[i].size());
            good = ok(SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                       std::max<SQLULEN>(params[i].size(), 1), 0,
                                       const_cast<char*>(params[i].c_str()), static_cast<SQLLEN>(params[i].size()), &lens[i]));
        }
        if (good) {
            Awaiting awaiting;
            good = ok(SQLExecute(stmt));
        }
        if (!good) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw notSupported();
        }
        StatementCursor cur;
        cur.conn = c_;
        cur.stmt = stmt;
        cur.generation = c_->generation;
        cur.describe();
        Row row;
        try {
            while (cur.next(row)) take(row);
        } catch (const Error&) {
            throw notSupported();
        }
    }

    Error notSupported() {
        c_->errors.clear();
        ProviderError e;
        e.number = err::NotSupported;
        e.description = "Object or provider is not capable of performing requested operation.";
        e.source = c_->driverSource();
        c_->errors.push_back(e);
        return Error(e.number, e.description, e.source);
    }

    std::string dbms() {
        SQLCHAR buf[256] = {0};
        SQLSMALLINT len = 0;
        SQLGetInfo(c_->dbc, SQL_DBMS_NAME, buf, sizeof buf, &len);
        return text::lower(reinterpret_cast<char*>(buf));
    }
    bool isMySql() {
        std::string d = dbms();
        return d.find("mysql") != std::string::npos || d.find("mariadb") != std::string::npos;
    }
    bool isPostgres() { return dbms().rfind("postgresql", 0) == 0; }
    // PostgreSQL's version number (150004 for 15.4), 0 when it cannot be read.
    long long pgVersion() {
        if (c_->pgVersion < 0)
            c_->pgVersion = odbc::firstInteger(c_->dbc, "SELECT pg_catalog.current_setting('server_version_num')::int")
                                .value_or(0);
        return c_->pgVersion;
    }
    std::string currentCatalog() { return c_->currentCatalog(); }
    bool tds() const { return text::lower(c_->driverFile).find("tds") != std::string::npos; }

    // Pattern arguments (SQLTables, SQLColumns) take '_' and '%' as wildcards: escape them.
    std::string pattern(const std::string& name) {
        if (escape_.empty()) {
            SQLCHAR buf[8] = {0};
            SQLSMALLINT len = 0;
            SQLGetInfo(c_->dbc, SQL_SEARCH_PATTERN_ESCAPE, buf, sizeof buf, &len);
            escape_ = reinterpret_cast<char*>(buf);
            if (escape_.empty()) escape_ = "-";  // marks "no escape"
        }
        if (escape_ == "-") return name;
        std::string out;
        for (char ch : name) {
            if (ch == '_' || ch == '%' || escape_.find(ch) != std::string::npos) out += escape_;
            out += ch;
        }
        return out;
    }

    static SQLCHAR* arg(const std::optional<std::string>& s) {
        return s ? reinterpret_cast<SQLCHAR*>(const_cast<char*>(s->c_str())) : nullptr;
    }
    static SQLSMALLINT len(const std::optional<std::string>& s) { return s ? SQL_NTS : 0; }

    struct TableRef {
        Value catalog, schema;
        std::string name;
    };

    std::vector<TableRef> tables(const Restriction& cat, const Restriction& sch, const Restriction& name,
                                 const char* type) {
        Restriction pat = name ? Restriction(pattern(*name)) : std::nullopt;
        std::string types = type;
        auto rows = call([&](SQLHSTMT s) {
            return SQLTables(s, arg(cat), len(cat), arg(sch), len(sch), arg(pat), len(pat),
                             reinterpret_cast<SQLCHAR*>(types.data()), SQL_NTS);
        });
        std::vector<TableRef> out;
        for (auto& row : rows) {
            if (row.size() < 4) continue;
            if (name && row[2].toString() != *name) continue;
            if (text::lower(row[3].toString()) != text::lower(type)) continue;
            out.push_back({row[0], row[1], row[2].toString()});
        }
        orderCaseTies(out, [](const TableRef& t) {
            return std::pair(t.catalog.toString() + '\x1f' + t.schema.toString(), t.name);
        });
        return out;
    }

    static Restriction text(const Value& v) { return v.isNull() ? std::nullopt : Restriction(v.toString()); }

private:
    std::shared_ptr<ConnectionImpl> c_;
    const std::vector<Value>& restrictions_;
    std::string escape_;
};

bool isCharType(int t) {
    using namespace adtype;
    return t == Char || t == WChar || t == VarChar || t == VarWChar || t == LongVarChar || t == LongVarWChar ||
           t == Binary || t == VarBinary || t == LongVarBinary;
}
bool isNumericType(int t) {
    using namespace adtype;
    return t == SmallInt || t == Integer || t == Single || t == Double || t == Currency || t == Decimal ||
           (t >= TinyInt && t <= UnsignedBigInt) || t == Numeric;
}
bool isDateType(int t) { return t == adtype::DBDate || t == adtype::DBTime || t == adtype::DBTimeStamp || t == adtype::Date; }
bool isLongType(int t) { return t == adtype::LongVarChar || t == adtype::LongVarWChar || t == adtype::LongVarBinary; }
bool isFixedType(int t) {
    return t == adtype::Char || t == adtype::WChar || t == adtype::Binary || isNumericType(t) || isDateType(t) ||
           t == adtype::Boolean || t == adtype::GUID;
}

std::string ruleText(const Value& v) {
    if (v.isNull()) return {};
    switch (v.toInt()) {
    case SQL_CASCADE: return "CASCADE";
    case SQL_SET_NULL: return "SET NULL";
    case SQL_SET_DEFAULT: return "SET DEFAULT";
    case SQL_RESTRICT: return "RESTRICT";
    default: return "NO ACTION";
    }
}

Recordset tablesRowset(SchemaReader& s) {
    auto fields = columns({{"TABLE_CATALOG", adtype::VarWChar}, {"TABLE_SCHEMA", adtype::VarWChar},
                           {"TABLE_NAME", adtype::VarWChar}, {"TABLE_TYPE", adtype::VarWChar},
                           {"TABLE_GUID", adtype::GUID}, {"DESCRIPTION", adtype::VarWChar},
                           {"TABLE_PROPID", adtype::UnsignedInt}, {"DATE_CREATED", adtype::Date},
                           {"DATE_MODIFIED", adtype::Date}});
    auto cat = s.r(0), sch = s.r(1), name = s.r(2), type = s.r(3);
    Restriction pat = name ? Restriction(s.pattern(*name)) : std::nullopt;
    const bool sqlite = s.isSqlite();
    // The type is filtered here, after SQLite's system tables have been told apart.
    auto rows = s.call([&](SQLHSTMT st) {
        return SQLTables(st, SchemaReader::arg(cat), SchemaReader::len(cat), SchemaReader::arg(sch),
                         SchemaReader::len(sch), SchemaReader::arg(pat), SchemaReader::len(pat), nullptr, 0);
    });
    std::vector<Row> out;
    for (auto& r : rows) {
        if (r.size() < 5) continue;
        if (name && r[2].toString() != *name) continue;
        Value tableType = r[3];
        // SQLite's bookkeeping tables (sqlite_sequence, sqlite_stat1) are reported as user tables.
        if (sqlite && tableType.toString() == "TABLE" && r[2].toString().rfind("sqlite_", 0) == 0)
            tableType = Value(std::string("SYSTEM TABLE"));
        if (type && text::lower(tableType.toString()) != text::lower(*type)) continue;
        out.push_back({r[0], r[1], r[2], tableType, Value(), r[4], Value(), Value(), Value()});
    }
    orderCaseTies(out, [](const Row& r) { return std::pair(r[0].toString() + '\x1f' + r[1].toString(), r[2].toString()); });
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaTables");
}

// What the engine's own catalogue says of a column where the driver's SQLColumns row is unreliable:
// type names, sizes of unbounded types, scales, nullability, defaults.
struct ColumnFacts {
    std::string typeName;
    Value charLength, numericPrecision, numericScale;
    Value datetimePrecision;  // fraction digits of a date or time type, where the driver's are wrong
    std::optional<bool> nullable;
    std::optional<Value> columnDefault;
    bool precisionKnown = false;  // numericPrecision and numericScale replace the driver's
    // What recreating the column needs beyond its type name: an enumeration's labels as
    // literals in order; a domain's base type, default, NOT NULL and named checks; the sequence a
    // column with a sequence default owns ("" for one it does not own); an integer's display
    // width; "True" for a MariaDB AUTO_INCREMENT column.
    Value enumLabels, domainType, domainDefault, domainNotNull, domainChecks, ownedSequence, displayWidth,
        autoIncrement;
};
// By table (owner and name), then column: the driver's rows come table by table, and each
// table's columns are then found in its own small map.
using ColumnFactsMap = std::unordered_map<std::string, std::unordered_map<std::string, ColumnFacts>>;

std::string columnFactsKey(const std::string& owner, const std::string& table) { return owner + '\x1f' + table; }

// PostgreSQL: the type's catalogue name (arrays as "elem[]", a domain by its own name), the
// declared length of character types and the declared precision and scale of numeric; other
// types have no character length; an identity or generated column's clause in place of the
// default the driver reports (none, or the generation expression). Keyed by schema; other
// columns of fixed-size base types are left as the driver reports them. The %s stand for the
// clause and its test, left out for servers before 12.
const char* const pgGeneratedClause =
    "CASE a.attidentity WHEN 'a' THEN 'GENERATED ALWAYS AS IDENTITY' "
    "WHEN 'd' THEN 'GENERATED BY DEFAULT AS IDENTITY' ELSE CASE WHEN a.attgenerated = 's' THEN "
    "'GENERATED ALWAYS AS (' || pg_catalog.pg_get_expr(ad.adbin, ad.adrelid) || ') STORED' END END";
const char* const pgColumnFacts =
    "SELECT n.nspname, c.relname, a.attname, "
    "CASE WHEN t.typcategory = 'A' AND et.oid IS NOT NULL THEN et.typname || '[]' ELSE t.typname END, "
    "CASE WHEN b.id IN (1042, 1043) AND b.mod > 4 THEN b.mod - 4 WHEN b.id IN (1560, 1562) AND b.mod > 0 "
    "THEN b.mod END, "
    "CASE WHEN b.id = 1700 AND b.mod > 4 THEN ((b.mod - 4) >> 16) & 65535 END, "
    // The scale is the low 11 bits, signed (negative since PostgreSQL 15).
    "CASE WHEN b.id = 1700 AND b.mod > 4 THEN (((b.mod - 4) & 2047) # 1024) - 1024 END, b.id = 1700, %s, "
    "CASE WHEN t.typtype = 'e' THEN (SELECT string_agg(pg_catalog.quote_literal(e.enumlabel), ',' "
    "ORDER BY e.enumsortorder) FROM pg_catalog.pg_enum e WHERE e.enumtypid = t.oid) END, "
    "CASE WHEN t.typtype = 'd' THEN pg_catalog.format_type(t.typbasetype, t.typtypmod) END, "
    "CASE WHEN t.typtype = 'd' THEN t.typdefault END, CASE WHEN t.typtype = 'd' THEN t.typnotnull END, "
    "CASE WHEN t.typtype = 'd' THEN (SELECT string_agg('CONSTRAINT ' || pg_catalog.quote_ident(k.conname) || ' ' || "
    "pg_catalog.pg_get_constraintdef(k.oid), ' ' "
    "ORDER BY k.conname) FROM pg_catalog.pg_constraint k WHERE k.contypid = t.oid AND k.contype = 'c') END, "
    "CASE WHEN ad.adbin IS NOT NULL AND pg_catalog.pg_get_expr(ad.adbin, ad.adrelid) LIKE 'nextval(%' THEN "
    "COALESCE((SELECT d.objid::regclass::text FROM pg_catalog.pg_depend d JOIN pg_catalog.pg_class q "
    "ON q.oid = d.objid AND q.relkind = 'S' WHERE d.classid = 'pg_catalog.pg_class'::regclass "
    "AND d.refobjid = a.attrelid AND d.refobjsubid = a.attnum AND d.deptype = 'a' LIMIT 1), '') END "
    "FROM pg_catalog.pg_attribute a "
    "JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
    "LEFT JOIN pg_catalog.pg_type et ON et.oid = t.typelem "
    "LEFT JOIN pg_catalog.pg_attrdef ad ON ad.adrelid = a.attrelid AND ad.adnum = a.attnum "
    "CROSS JOIN LATERAL (SELECT CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE a.atttypid END AS id, "
    "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END AS mod) b "
    "WHERE a.attnum > 0 AND NOT a.attisdropped AND c.relkind IN ('r', 'v', 'm', 'p', 'f') "
    // Fixed-size base types (integers, dates, ...) the driver reports right.
    "AND (t.typlen < 0 OR t.typtype <> 'b' OR t.typcategory IN ('A', 'B', 'T') OR %s IS NOT NULL "
    "OR pg_catalog.pg_get_expr(ad.adbin, ad.adrelid) LIKE 'nextval(%')";

// MariaDB/MySQL: COLUMN_TYPE without its size (ENUM and SET keep their values), the
// nullability the driver misreports for AUTO_INCREMENT and TIMESTAMP columns, the fraction
// digits it leaves out and a bit string's width (as its length). Keyed by database. A generated
// column has its clause in place of a default; an AUTO_INCREMENT column has no default.
const char* const myColumnFacts =
    "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, COLUMN_TYPE, "
    "CASE WHEN DATA_TYPE = 'bit' THEN NUMERIC_PRECISION ELSE CHARACTER_MAXIMUM_LENGTH END, NUMERIC_PRECISION, "
    "NUMERIC_SCALE, DATA_TYPE IN ('decimal', 'numeric'), IS_NULLABLE, EXTRA, %s "
    "FROM INFORMATION_SCHEMA.COLUMNS WHERE true";

// SQLite: what the driver gets wrong: a default loses its quotes, an INTEGER PRIMARY KEY (the
// rowid, never NULL) is called nullable. The rows of key columns and of columns with a default.
const char* const sqliteColumnFacts =
    "SELECT m.name, p.name, p.type, p.dflt_value, p.pk FROM sqlite_master m, pragma_table_info(m.name) p "
    "WHERE m.type = 'table' AND (p.pk > 0 OR p.dflt_value IS NOT NULL)";

// The facts of a SQLite column from its table_info type, default and key place, given how many
// key columns its table has: the one INTEGER key column is the rowid, never NULL.
ColumnFacts sqliteFacts(const Value& type, const Value& dflt, long long pk, int keyColumns) {
    ColumnFacts f;
    if (pk > 0 && keyColumns == 1 && text::lower(text::trim(type.toString())) == "integer") f.nullable = false;
    if (!dflt.isNull()) f.columnDefault = dflt;
    return f;
}

// "DECIMAL(5,2)" -> DECIMAL, 5, 2; "VARCHAR(40)" -> VARCHAR, 40; "TEXT" -> TEXT.
void parseDeclaredType(const std::string& declared, ColumnFacts& f) {
    const size_t open = declared.find('(');
    f.typeName = text::trim(declared.substr(0, open));
    if (open == std::string::npos) return;
    const size_t close = declared.find(')', open);
    const std::string inside = declared.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    const size_t comma = inside.find(',');
    auto number = [](const std::string& t) -> Value {
        const std::string n = text::trim(t);
        if (n.empty() || !std::all_of(n.begin(), n.end(), [](unsigned char ch) { return std::isdigit(ch); }) ||
            n.size() > 9)
            return Value();
        return Value(std::stoll(n));
    };
    const Value size = number(inside.substr(0, comma));
    const std::string upper = text::lower(f.typeName);
    const bool exact = upper.find("dec") != std::string::npos || upper.find("num") != std::string::npos;
    if (exact) {
        f.precisionKnown = true;
        f.numericPrecision = size;
        f.numericScale = comma == std::string::npos ? (size.isNull() ? Value() : Value(0)) : number(inside.substr(comma + 1));
    } else {
        f.charLength = size;
    }
}

// MariaDB's "int(10) unsigned" -> "int unsigned"; "enum('a','b')" stays whole.
std::string baseColumnType(const std::string& columnType) {
    const std::string lower = text::lower(columnType);
    if (lower.rfind("enum(", 0) == 0 || lower.rfind("set(", 0) == 0) return columnType;
    const size_t open = columnType.find('(');
    if (open == std::string::npos) return columnType;
    const size_t close = columnType.find(')', open);
    std::string out = columnType.substr(0, open);
    if (close != std::string::npos) out += columnType.substr(close + 1);
    return text::trim(out);
}

// MariaDB's display width of an integer type: "tinyint(1)" -> 1, "int(10) unsigned" -> 10.
Value displayWidth(const std::string& columnType) {
    const std::string lower = text::lower(columnType);
    const size_t open = lower.find('(');
    if (open == std::string::npos || lower.find("int") > open) return Value();
    const size_t close = lower.find(')', open);
    const std::string n = lower.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    if (n.empty() || n.size() > 3 || !std::all_of(n.begin(), n.end(), [](unsigned char ch) { return std::isdigit(ch); }))
        return Value();
    return Value(std::stoll(n));
}

// The query with every "%s" replaced by clause.
std::string withClause(std::string sql, const std::string& clause) {
    for (size_t at; (at = sql.find("%s")) != std::string::npos;) sql.replace(at, 2, clause);
    return sql;
}

// Facts of the restricted table (or of every table), nullopt for other engines or when the
// engine refuses the query.
std::optional<ColumnFactsMap> columnFacts(SchemaReader& s, const Restriction& cat, const Restriction& sch,
                                          const Restriction& table) {
    std::vector<std::string> params;
    ColumnFactsMap out;
    try {
        if (s.isPostgres()) {
            std::string restrictions;
            if (sch) restrictions += " AND n.nspname = ?", params.push_back(*sch);
            if (table) restrictions += " AND c.relname = ?", params.push_back(*table);
            std::vector<Row> rows;
            try {
                rows = s.query(withClause(pgColumnFacts, pgGeneratedClause) + restrictions, params);
            } catch (const Error&) {
                // no identity or generated columns before 12
                rows = s.query(withClause(pgColumnFacts, "NULL::text") + restrictions, params);
            }
            for (const Row& r : rows) {
                if (r.size() < 15) continue;
                ColumnFacts f;
                f.typeName = r[3].toString();
                f.charLength = r[4];
                f.numericPrecision = r[5];
                f.numericScale = r[6];
                f.precisionKnown = r[7].toBool();
                if (!r[8].isNull()) f.columnDefault = r[8];
                f.enumLabels = r[9];
                f.domainType = r[10];
                f.domainDefault = r[11];
                if (!r[12].isNull()) f.domainNotNull = Value(std::string(r[12].toBool() ? "True" : "False"));
                f.domainChecks = r[13];
                f.ownedSequence = r[14];
                out[columnFactsKey(r[0].toString(), r[1].toString())].emplace(r[2].toString(), std::move(f));
            }
            return out;
        }
        if (s.isMySql()) {
            std::string restrictions;
            std::string db = cat ? *cat : s.currentCatalog();
            if (!db.empty()) restrictions += " AND TABLE_SCHEMA = ?", params.push_back(db);
            if (table) restrictions += " AND TABLE_NAME = ?", params.push_back(*table);
            std::vector<Row> rows;
            try {
                rows = s.query(withClause(myColumnFacts, "GENERATION_EXPRESSION, DATETIME_PRECISION") + restrictions, params);
            } catch (const Error&) {
                rows = s.query(withClause(myColumnFacts, "NULL, NULL") + restrictions, params);  // servers without them
            }
            for (const Row& r : rows) {
                if (r.size() < 12) continue;
                ColumnFacts f;
                f.typeName = baseColumnType(r[3].toString());
                f.datetimePrecision = r[11];
                f.displayWidth = displayWidth(r[3].toString());
                f.charLength = r[4];
                f.precisionKnown = r[7].toBool();
                f.numericPrecision = r[5];
                f.numericScale = r[6];
                f.nullable = text::lower(r[8].toString()) != "no";
                const std::string extra = text::lower(r[9].toString());
                if (extra.find("auto_increment") != std::string::npos) {
                    f.autoIncrement = Value(std::string("True"));
                    f.columnDefault = Value();
                } else if (extra.find("generated") != std::string::npos && !r[10].isNull() && !r[10].toString().empty())
                    f.columnDefault = Value("GENERATED ALWAYS AS (" + r[10].toString() + ")" +
                                            (extra.find("stored") != std::string::npos ? " STORED" : " VIRTUAL"));
                out[columnFactsKey(r[0].toString(), r[1].toString())].emplace(r[2].toString(), std::move(f));
            }
            return out;
        }
        if (s.isSqlite()) {
            std::string sql = sqliteColumnFacts;
            if (table) sql += " AND m.name = ?", params.push_back(*table);
            const std::vector<Row> rows = s.query(sql, params);
            std::unordered_map<std::string, int> keyColumns;
            for (const Row& r : rows)
                if (r.size() >= 5 && r[4].toInt() > 0) ++keyColumns[r[0].toString()];
            for (const Row& r : rows) {
                if (r.size() < 5) continue;
                out[columnFactsKey(std::string(), r[0].toString())].emplace(
                    r[1].toString(), sqliteFacts(r[2], r[3], r[4].toInt(), keyColumns[r[0].toString()]));
            }
            return out;
        }
    } catch (const Error&) {
    }
    return std::nullopt;
}

// SQLite's schema version, -1 when it cannot be read.
long long sqliteSchemaVersion(SchemaReader& s) {
    const auto rows = s.query("PRAGMA schema_version", {});
    return !rows.empty() && !rows[0].empty() && !rows[0][0].isNull() ? rows[0][0].toInt() : -1;
}

// SQLite's CREATE TABLE text, for what only the text declares.
namespace sqlitesql {

// Constraint names declared in a CREATE TABLE statement: the primary key's, and each foreign
// key's with its referencing columns, in declaration order ("" where unnamed); and the
// expression of each generated column as written, by lower-case column name.
struct DeclaredNames {
    std::string primaryKey;
    std::vector<std::pair<std::string, std::vector<std::string>>> foreignKeys;
    std::unordered_map<std::string, std::string> generated;
};

struct IndexText {
    std::vector<std::string> members;
    std::string condition;
};
IndexText indexText(const std::string& sql);

// The statement's tokens; with `at`, where each begins.
std::vector<std::string> tokens(const std::string& sql, std::vector<size_t>* at = nullptr) {
    std::vector<std::string> out;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const char ch = sql[i];
        if (std::isspace(static_cast<unsigned char>(ch))) {
            ++i;
        } else if (ch == '-' && i + 1 < n && sql[i + 1] == '-') {
            i = sql.find('\n', i);
            if (i == std::string::npos) i = n;
        } else if (ch == '/' && i + 1 < n && sql[i + 1] == '*') {
            i = sql.find("*/", i + 2);
            i = i == std::string::npos ? n : i + 2;
        } else if (ch == '"' || ch == '`' || ch == '\'' || ch == '[') {
            if (at) at->push_back(i);
            // Quoted: the token keeps its opening quote so that names and keywords stay apart.
            const char close = ch == '[' ? ']' : ch;
            std::string t(1, ch);
            size_t j = i + 1;
            for (; j < n; ++j) {
                if (sql[j] == close) {
                    if (close != ']' && j + 1 < n && sql[j + 1] == close) {
                        t += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                t += sql[j];
            }
            out.push_back(std::move(t));
            i = j + 1;
        } else if (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || static_cast<unsigned char>(ch) >= 0x80) {
            if (at) at->push_back(i);
            size_t j = i;
            while (j < n && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' || sql[j] == '$' ||
                             static_cast<unsigned char>(sql[j]) >= 0x80))
                ++j;
            out.push_back(sql.substr(i, j - i));
            i = j;
        } else {
            if (at) at->push_back(i);
            out.push_back(std::string(1, ch));
            ++i;
        }
    }
    return out;
}

std::string nameOf(const std::string& token) {
    if (!token.empty() && (token[0] == '"' || token[0] == '`' || token[0] == '\'' || token[0] == '['))
        return token.substr(1);
    return token;
}

bool keyword(const std::string& token, const char* word) { return text::lower(token) == word; }

// The token ranges between the top-level commas of the first parenthesised list; the last
// ends at the list's closing parenthesis.
std::vector<std::pair<size_t, size_t>> listParts(const std::vector<std::string>& t) {
    size_t i = 0;
    while (i < t.size() && t[i] != "(") ++i;
    std::vector<std::pair<size_t, size_t>> parts;
    int depth = 0;
    size_t begin = i + 1;
    for (++i; i < t.size(); ++i) {
        if (t[i] == "(") ++depth;
        else if (t[i] == ")" && depth-- == 0) {
            parts.emplace_back(begin, i);
            break;
        } else if (t[i] == "," && depth == 0) {
            parts.emplace_back(begin, i);
            begin = i + 1;
        }
    }
    return parts;
}

DeclaredNames declaredNames(const std::string& sql) {
    DeclaredNames out;
    std::vector<size_t> at;
    const std::vector<std::string> t = tokens(sql, &at);
    // Definitions between top-level commas.
    const std::vector<std::pair<size_t, size_t>> parts = listParts(t);
    int depth = 0;
    auto columnList = [&](size_t& k, size_t end) {
        std::vector<std::string> cols;
        while (k < end && t[k] != "(") ++k;
        for (++k; k < end && t[k] != ")"; ++k) {
            if (t[k] == ",") continue;
            cols.push_back(text::lower(nameOf(t[k])));
            // skip COLLATE x / ASC / DESC
            while (k + 1 < end && t[k + 1] != "," && t[k + 1] != ")") ++k;
        }
        return cols;
    };
    for (auto [b, e] : parts) {
        if (b >= e) continue;
        std::string name;
        size_t k = b;
        const bool tableConstraint = keyword(t[b], "constraint") || keyword(t[b], "primary") ||
                                     keyword(t[b], "foreign") || keyword(t[b], "unique") || keyword(t[b], "check");
        if (tableConstraint) {
            if (keyword(t[k], "constraint") && k + 1 < e) {
                name = nameOf(t[k + 1]);
                k += 2;
            }
            if (k < e && keyword(t[k], "primary")) {
                out.primaryKey = name;
            } else if (k < e && keyword(t[k], "foreign")) {
                out.foreignKeys.emplace_back(name, columnList(k, e));
            }
            continue;
        }
        // A column: its own constraints, each possibly named.
        const std::string column = text::lower(nameOf(t[b]));
        depth = 0;
        for (k = b + 1; k < e; ++k) {
            if (t[k] == "(") ++depth;
            else if (t[k] == ")") --depth;
            if (depth != 0) continue;
            if (keyword(t[k], "constraint") && k + 1 < e) {
                name = nameOf(t[k + 1]);
                ++k;
            } else if (keyword(t[k], "primary")) {
                out.primaryKey = name;
                name.clear();
            } else if (keyword(t[k], "references")) {
                out.foreignKeys.emplace_back(name, std::vector<std::string>{column});
                name.clear();
            } else if (keyword(t[k], "as") && k + 1 < e && t[k + 1] == "(") {
                size_t close = k + 1;
                for (int open = 0; close < e; ++close)
                    if (t[close] == "(") ++open;
                    else if (t[close] == ")" && --open == 0) break;
                if (close < e)
                    out.generated[column] = text::trim(sql.substr(at[k + 1] + 1, at[close] - at[k + 1] - 1));
                name.clear();
            } else if (keyword(t[k], "not") || keyword(t[k], "null") || keyword(t[k], "unique") ||
                       keyword(t[k], "check") || keyword(t[k], "default") || keyword(t[k], "collate") ||
                       keyword(t[k], "generated") || keyword(t[k], "as")) {
                name.clear();
            }
        }
    }
    return out;
}

// The members of a CREATE INDEX statement as written, and the condition after its WHERE.
IndexText indexText(const std::string& sql) {
    IndexText out;
    std::vector<size_t> at;
    const std::vector<std::string> t = tokens(sql, &at);
    const auto parts = listParts(t);
    for (auto [b, e] : parts) out.members.push_back(b < e ? text::trim(sql.substr(at[b], at[e] - at[b])) : "");
    const size_t close = parts.empty() ? t.size() : parts.back().second;
    if (close + 2 < t.size() && keyword(t[close + 1], "where")) out.condition = text::trim(sql.substr(at[close + 2]));
    return out;
}

}  // namespace sqlitesql

// Whether two values give the same text, without copying text values.
bool sameText(const Value& a, const Value& b) {
    return a.kind() == ValueKind::Text ? b.readsAs(a.bytes()) : a.readsAs(b.toString());
}

// SQLite: the rows of the SQLite3 ODBC driver's SQLColumns, made from one pragma query. The
// driver runs table_info twice for every table, and each run costs SQLite a lookup of the table's
// name that grows with the number of tables; the query runs it once and gives, beside the
// driver's row, what the driver gets wrong (the facts above).
namespace sqlitecolumns {

// The driver's type code for a declared type, by its prefix (ODBC 3 codes).
int sqlType(const std::string& declared, bool bigint) {
    std::string p = declared;
    for (char& ch : p)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    auto starts = [&p](const char* w) { return p.compare(0, std::char_traits<char>::length(w), w) == 0; };
    int t = SQL_VARCHAR;
    if (starts("inter")) {
    } else if (starts("int") || starts("mediumint")) t = SQL_INTEGER;
    else if (starts("numeric")) t = SQL_DOUBLE;
    else if (starts("tinyint")) t = SQL_TINYINT;
    else if (starts("smallint")) t = SQL_SMALLINT;
    else if (starts("float") || starts("double") || starts("real")) t = SQL_DOUBLE;
    else if (starts("timestamp") || starts("datetime")) t = SQL_TYPE_TIMESTAMP;
    else if (starts("time")) t = SQL_TYPE_TIME;
    else if (starts("date")) t = SQL_TYPE_DATE;
    else if (starts("text") || starts("memo") || starts("longvarchar")) t = SQL_LONGVARCHAR;
    else if (starts("bool") || starts("bit")) t = SQL_BIT;
    else if (starts("bigint")) t = SQL_BIGINT;
    else if (starts("blob")) t = SQL_BINARY;
    else if (starts("varbinary")) t = SQL_VARBINARY;
    else if (starts("longvarbinary")) t = SQL_LONGVARBINARY;
    return bigint && t == SQL_INTEGER ? SQL_BIGINT : t;
}

// The driver's display size m and digits d of a type: its defaults, or "(m,d)" / "(m)" as the
// declaration gives them (read with the driver's own patterns).
void sizes(const std::string& declared, int t, int& m, int& d) {
    switch (t) {
    case SQL_INTEGER: m = 10, d = 9; break;
    case SQL_TINYINT: m = 4, d = 3; break;
    case SQL_SMALLINT: m = 6, d = 5; break;
    case SQL_DOUBLE: m = 54, d = 53; break;
    case SQL_VARCHAR: case SQL_BINARY: case SQL_VARBINARY: m = 255, d = 0; break;
    case SQL_TYPE_DATE: m = 10, d = 0; break;
    case SQL_TYPE_TIME: m = 8, d = 0; break;
    case SQL_TYPE_TIMESTAMP: m = 32, d = 3; break;
    case SQL_LONGVARCHAR: case SQL_LONGVARBINARY: m = 65536, d = 0; break;
    case SQL_BIGINT: m = 20, d = 19; break;
    case SQL_BIT: m = 1, d = 1; break;
    default: m = 0, d = 0;
    }
    int mm = 0, dd = 0;
    char close[4];
    if (std::sscanf(declared.c_str(), "%*[^(](%d,%d %1[)]", &mm, &dd, close) == 3) {
        m = mm, d = dd;
    } else if (std::sscanf(declared.c_str(), "%*[^(](%d %1[)]", &mm, close) == 2) {
        if (t == SQL_TYPE_TIMESTAMP) d = mm;
        else m = d = mm;
    }
}

// One row of the driver's SQLColumns from a table_info row (table, cid, name, type, notnull,
// dflt_value, pk).
Row driverRow(const Row& p, bool bigint) {
    const std::string declared = p[3].toString();
    int t = sqlType(declared, bigint), m = 0, d = 0;
    sizes(declared, t, m, d);
    if (t == SQL_VARCHAR && m > 255) t = SQL_LONGVARCHAR;
    if (t == SQL_VARBINARY && m > 255) t = SQL_LONGVARBINARY;
    std::string dflt = p[5].isNull() ? "NULL" : p[5].toString();
    if (dflt.size() > 1) {
        const char a = dflt.front(), z = dflt.back();
        if ((a == '\'' && z == '\'') || (a == '"' && z == '"') || (a == '[' && z == ']'))
            dflt = dflt.substr(1, dflt.size() - 2);
    }
    const bool notNull = p[4].toString().rfind('0', 0) != 0;
    return {Value(std::string()), Value(std::string()), p[0], p[2], Value(t), Value(declared), Value(d), Value(m),
            Value(10), Value(0), Value(notNull ? SQL_NO_NULLS : SQL_NULLABLE), Value(), Value(dflt), Value(t), Value(),
            Value(16384), Value(p[1].toInt() + 1), Value(std::string(notNull ? "NO" : "YES"))};
}

// Hands over the driver's rows of every table and view (or of the one restricted to) in the
// driver's order, each with its facts: an INTEGER PRIMARY KEY (the rowid) is never NULL, and a
// default keeps its quotes. Where table_xinfo is known, the generated columns the driver leaves
// out come too, in their place, with their clause as the default (the hidden columns of
// virtual tables stay out). Rows of every table also leave their key columns in the
// connection's catalogue cache, saving the keys a second table_info run.
void each(SchemaReader& s, const Restriction& table, bool bigint,
          const std::function<void(Row&, const ColumnFacts&)>& take) {
    std::string sql = std::string("SELECT m.tbl_name, p.cid, p.name, p.type, p.\"notnull\", p.dflt_value, p.pk, m.type, ") +
                      (s.connection().sqliteXinfo
                           ? "p.hidden, CASE WHEN p.hidden IN (2, 3) THEN m.sql END FROM sqlite_master m, "
                             "pragma_table_xinfo(m.tbl_name) p WHERE (m.type = 'table' OR m.type = 'view') "
                             "AND p.hidden IN (0, 2, 3)"
                           : "0, NULL FROM sqlite_master m, pragma_table_info(m.tbl_name) p "
                             "WHERE (m.type = 'table' OR m.type = 'view')");
    if (table) sql += " AND m.tbl_name = ?";
    sql += " ORDER BY m.rowid";
    std::vector<std::string> params;
    if (table) params.push_back(*table);
    const long long version = table ? -1 : sqliteSchemaVersion(s);
    std::vector<Row> keyColumnsOfAll;
    std::vector<Row> rows;  // one table's
    auto flush = [&] {
        int keyColumns = 0;
        for (const Row& r : rows) keyColumns += r[6].toInt() > 0;
        std::optional<sqlitesql::DeclaredNames> declared;  // read at the table's first generated column
        for (const Row& r : rows) {
            if (version >= 0 && r[6].toInt() > 0 && r[7].toString() == "table")
                keyColumnsOfAll.push_back({r[0], Value(0), r[1], r[6], r[2], r[3], Value()});
            Row row = driverRow(r, bigint);
            ColumnFacts facts = sqliteFacts(r[3], r[5], r[6].toInt(), keyColumns);
            const long long hidden = r[8].toInt();
            if (hidden == 2 || hidden == 3) {
                if (!declared) declared = sqlitesql::declaredNames(r[9].toString());
                auto g = declared->generated.find(text::lower(r[2].toString()));
                if (g != declared->generated.end())
                    facts.columnDefault =
                        Value("GENERATED ALWAYS AS (" + g->second + (hidden == 3 ? ") STORED" : ") VIRTUAL"));
            }
            take(row, facts);
        }
        rows.clear();
    };
    s.queryEach(sql, params, [&](Row& r) {
        if (r.size() < 10) return;
        if (!rows.empty() && !sameText(rows.front()[0], r[0])) flush();
        rows.push_back(std::move(r));
    });
    flush();
    if (version >= 0) {
        auto& cache = s.connection().catalogueCache;
        cache.keyColumnsVersion = version;
        cache.keyColumns = std::move(keyColumnsOfAll);
    }
}

// How this connection's column rows are made (see ConnectionImpl::sqliteColumns): the query's
// rows are used once they equal the driver's for a table, one with an INTEGER column if any.
int mode(SchemaReader& s) {
    int& known = s.connection().sqliteColumns;
    if (known >= 0) return known;
    try {
        auto probe = s.query("SELECT m.tbl_name FROM sqlite_master m, pragma_table_info(m.tbl_name) p "
                             "WHERE (m.type = 'table' OR m.type = 'view') AND (p.type LIKE 'int%' AND p.type "
                             "NOT LIKE 'inter%' OR p.type LIKE 'mediumint%') LIMIT 1",
                             {});
        if (probe.empty())
            probe = s.query("SELECT tbl_name FROM sqlite_master WHERE type = 'table' OR type = 'view' LIMIT 1", {});
        if (probe.empty() || probe[0].empty()) return 0;  // nothing to compare yet
        const std::string name = probe[0][0].toString();
        const Restriction pat = s.pattern(name);
        std::vector<Row> driver;
        s.each(
            [&](SQLHSTMT st) {
                return SQLColumns(st, nullptr, 0, nullptr, 0, SchemaReader::arg(pat), SQL_NTS, nullptr, 0);
            },
            [&](Row& r) {
                if (r.size() > 2 && r[2].toString() == name) driver.push_back(std::move(r));
            });
        known = 0;
        for (int m : {1, 2}) {
            std::vector<Row> mine;
            each(s, name, m == 2, [&](Row& r, const ColumnFacts&) { mine.push_back(std::move(r)); });
            const bool same = std::equal(mine.begin(), mine.end(), driver.begin(), driver.end(),
                                         [](const Row& a, const Row& b) {
                                             return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                                                               [](const Value& x, const Value& y) {
                                                                   return x.isNull() == y.isNull() && sameText(x, y);
                                                               });
                                         });
            if (same) {
                // The driver's rows compare without the generated columns; those come once
                // table_xinfo (SQLite 3.26) is known to be there.
                try {
                    s.query("SELECT hidden FROM pragma_table_xinfo('sqlite_master') LIMIT 1", {});
                    s.connection().sqliteXinfo = true;
                } catch (const Error&) {
                }
                return known = m;
            }
        }
    } catch (const Error&) {
        known = 0;
    }
    return known;
}

}  // namespace sqlitecolumns

using RowsetPart = std::function<void(Recordset&)>;

// Without `part` the whole rowset is returned; with it the rowset goes to `part` every `batch`
// rows and what is returned is empty.
Recordset columnsRowset(SchemaReader& s, std::size_t batch = 0, const RowsetPart& part = nullptr) {
    using namespace adtype;
    auto fields = columns({{"TABLE_CATALOG", VarWChar}, {"TABLE_SCHEMA", VarWChar}, {"TABLE_NAME", VarWChar},
                           {"COLUMN_NAME", VarWChar}, {"COLUMN_GUID", GUID}, {"COLUMN_PROPID", UnsignedInt},
                           {"ORDINAL_POSITION", UnsignedInt}, {"COLUMN_HASDEFAULT", Boolean},
                           {"COLUMN_DEFAULT", VarWChar}, {"COLUMN_FLAGS", UnsignedInt}, {"IS_NULLABLE", Boolean},
                           {"DATA_TYPE", UnsignedSmallInt}, {"TYPE_GUID", GUID},
                           {"CHARACTER_MAXIMUM_LENGTH", UnsignedInt}, {"CHARACTER_OCTET_LENGTH", UnsignedInt},
                           {"NUMERIC_PRECISION", UnsignedSmallInt}, {"NUMERIC_SCALE", SmallInt},
                           {"DATETIME_PRECISION", UnsignedInt}, {"CHARACTER_SET_CATALOG", VarWChar},
                           {"CHARACTER_SET_SCHEMA", VarWChar}, {"CHARACTER_SET_NAME", VarWChar},
                           {"COLLATION_CATALOG", VarWChar}, {"COLLATION_SCHEMA", VarWChar},
                           {"COLLATION_NAME", VarWChar}, {"DOMAIN_CATALOG", VarWChar}, {"DOMAIN_SCHEMA", VarWChar},
                           {"DOMAIN_NAME", VarWChar}, {"DESCRIPTION", VarWChar},
                           // not in ADO's rowset: the engine's name of the column's type, and
                           // what recreating the column needs beyond it (ColumnFacts)
                           {"TYPE_NAME", VarWChar}, {"ENUM_LABELS", VarWChar}, {"DOMAIN_TYPE", VarWChar},
                           {"DOMAIN_DEFAULT", VarWChar}, {"DOMAIN_NOT_NULL", VarWChar}, {"DOMAIN_CHECKS", VarWChar},
                           {"OWNED_SEQUENCE", VarWChar}, {"DISPLAY_WIDTH", UnsignedInt},
                           {"AUTO_INCREMENT", VarWChar}});
    auto cat = s.r(0), sch = s.r(1), table = s.r(2), column = s.r(3);
    const int sqliteRows = s.isSqlite() ? sqlitecolumns::mode(s) : 0;
    const std::optional<ColumnFactsMap> facts = sqliteRows ? std::nullopt : columnFacts(s, cat, sch, table);
    const bool pg = facts && s.isPostgres(), sqlite = !pg && s.isSqlite();
    Restriction tpat = table ? Restriction(s.pattern(*table)) : std::nullopt;
    Restriction cpat = column ? Restriction(s.pattern(*column)) : std::nullopt;
    const bool tds = s.tds();
    std::vector<Row> out;
    bool parts = false;  // a part was handed over
    std::string factsTableKey;  // the table of the last row, and its facts
    const std::unordered_map<std::string, ColumnFacts>* factsOfTable = nullptr;
    // Each driver row is turned into the rowset's as it is fetched: the driver's rows are never
    // all held beside the rowset.
    auto take = [&](Row& r, const ColumnFacts* given = nullptr) {
        if (r.size() < 17) return;
        if (table && r[2].toString() != *table) return;
        if (column && r[3].toString() != *column) return;
        const int t = odbc::adoType(static_cast<SQLSMALLINT>(r[4].toInt()), r[5].toString(), tds);
        const Value& size = r[6];
        const Value& digits = r[8];
        const bool nullable = r[10].isNull() || r[10].toInt() != SQL_NO_NULLS;
        long long flags = 0;
        if (isFixedType(t)) flags |= 0x10;
        if (nullable) flags |= 0x20 | 0x40;
        if (isLongType(t)) flags |= 0x80;
        Row row(fields.size());
        row[0] = r[0];
        row[1] = r[1];
        row[2] = r[2];
        row[3] = r[3];
        row[6] = r[16].isNull() ? Value() : Value(r[16].toInt());
        row[7] = Value(!r[12].isNull());
        row[8] = r[12];
        row[9] = Value(flags);
        row[10] = Value(nullable);
        row[11] = Value(t);
        if (isCharType(t) && !size.isNull()) {
            row[13] = Value(size.toInt());
            row[14] = r[15].isNull() ? Value(size.toInt()) : Value(r[15].toInt());
        }
        if (isNumericType(t) && !size.isNull()) {
            row[15] = Value(size.toInt());
            if (t == Numeric || t == Decimal) row[16] = digits.isNull() ? Value(0) : Value(digits.toInt());
        }
        if (isDateType(t)) row[17] = digits.isNull() ? Value(0) : Value(digits.toInt());
        row[27] = r[11];
        row[28] = r[5];
        const ColumnFacts* found = given;
        ColumnFacts declared;
        if (facts && !given) {
            std::string key = columnFactsKey(sqlite ? std::string() : (pg ? r[1] : r[0]).toString(), r[2].toString());
            if (key != factsTableKey) {
                auto t = facts->find(key);
                factsOfTable = t == facts->end() ? nullptr : &t->second;
                factsTableKey = std::move(key);
            }
            if (factsOfTable) {
                auto it = factsOfTable->find(r[3].toString());
                if (it != factsOfTable->end()) found = &it->second;
            }
        }
        if (sqlite) {
            // The driver's type name is the declared type; its sizes are guesses.
            parseDeclaredType(r[5].toString(), declared);
            if (found) {
                declared.nullable = found->nullable;
                declared.columnDefault = found->columnDefault;
            }
            found = &declared;
        }
        if (found) {
            const ColumnFacts& f = *found;
            row[28] = Value(f.typeName);
            // The driver's sizes of unbounded types are its own settings (text 8190, enum 255).
            row[13] = f.charLength;
            row[14] = f.charLength.isNull() || r[15].isNull() ? f.charLength : Value(r[15].toInt());
            if (f.precisionKnown) {
                row[15] = f.numericPrecision;
                row[16] = f.numericScale;
            } else if (sqlite) {
                row[15] = Value();
                row[16] = Value();
            } else if (t != Numeric && t != Decimal) {
                row[16] = Value();
            }
            if (sqlite) row[17] = isDateType(t) ? Value(0) : Value();  // no declared fraction digits
            if (isDateType(t) && !f.datetimePrecision.isNull()) row[17] = f.datetimePrecision;
            if (f.nullable) {
                row[10] = Value(*f.nullable);
                const long long flags = row[9].toInt() & ~0x60;
                row[9] = Value(*f.nullable ? flags | 0x60 : flags);
            }
            if (f.columnDefault) {
                row[7] = Value(!f.columnDefault->isNull());
                row[8] = *f.columnDefault;
            }
            const Value* more[] = {&f.enumLabels,    &f.domainType,    &f.domainDefault, &f.domainNotNull,
                                   &f.domainChecks, &f.ownedSequence, &f.displayWidth, &f.autoIncrement};
            for (std::size_t i = 0; i < std::size(more); ++i) row[29 + i] = *more[i];
        }
        out.push_back(std::move(row));
        if (part && out.size() >= batch) {
            Recordset rs = Recordset::fromRows(fields, std::move(out), "adSchemaColumns");
            out.clear();
            parts = true;
            part(rs);
        }
    };
    if (sqliteRows)
        sqlitecolumns::each(s, table, sqliteRows == 2, [&](Row& r, const ColumnFacts& f) { take(r, &f); });
    else
        s.each(
            [&](SQLHSTMT st) {
                return SQLColumns(st, SchemaReader::arg(cat), SchemaReader::len(cat), SchemaReader::arg(sch),
                                  SchemaReader::len(sch), SchemaReader::arg(tpat), SchemaReader::len(tpat),
                                  SchemaReader::arg(cpat), SchemaReader::len(cpat));
            },
            take);
    if (!part) return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaColumns");
    if (!out.empty() || !parts) {
        Recordset rs = Recordset::fromRows(std::move(fields), std::move(out), "adSchemaColumns");
        part(rs);
    }
    return {};
}

Recordset providerTypesRowset(SchemaReader& s) {
    using namespace adtype;
    auto fields = columns({{"TYPE_NAME", VarWChar}, {"DATA_TYPE", UnsignedSmallInt}, {"COLUMN_SIZE", UnsignedInt},
                           {"LITERAL_PREFIX", VarWChar}, {"LITERAL_SUFFIX", VarWChar}, {"CREATE_PARAMS", VarWChar},
                           {"IS_NULLABLE", Boolean}, {"CASE_SENSITIVE", Boolean}, {"SEARCHABLE", UnsignedInt},
                           {"UNSIGNED_ATTRIBUTE", Boolean}, {"FIXED_PREC_SCALE", Boolean},
                           {"AUTO_UNIQUE_VALUE", Boolean}, {"LOCAL_TYPE_NAME", VarWChar}, {"MINIMUM_SCALE", SmallInt},
                           {"MAXIMUM_SCALE", SmallInt}, {"GUID", GUID}, {"TYPELIB", VarWChar},
                           {"VERSION", VarWChar}, {"IS_LONG", Boolean}, {"BEST_MATCH", Boolean},
                           {"IS_FIXEDLENGTH", Boolean}});
    auto rows = s.call([](SQLHSTMT st) { return SQLGetTypeInfo(st, SQL_ALL_TYPES); });
    auto typeFilter = s.r(0);
    const bool tds = s.tds();
    std::vector<Row> out;
    std::map<int, bool> seen;
    auto boolOf = [](const Value& v) { return v.isNull() ? Value() : Value(v.toInt() != 0); };
    for (auto& r : rows) {
        if (r.size() < 15) continue;
        std::string name = r[0].toString();
        const bool isUnsigned = !r[9].isNull() && r[9].toInt() != 0;
        const int t = odbc::adoType(static_cast<SQLSMALLINT>(r[1].toInt()), isUnsigned ? name + " unsigned" : name, tds);
        if (typeFilter && Value(t).toString() != *typeFilter) continue;
        Row row(fields.size());
        row[0] = r[0];
        row[1] = Value(t);
        row[2] = r[2];
        row[3] = r[3];
        row[4] = r[4];
        row[5] = r[5];
        row[6] = r[6].isNull() ? Value() : Value(r[6].toInt() != SQL_NO_NULLS);
        row[7] = boolOf(r[7]);
        row[8] = r[8];
        row[9] = boolOf(r[9]);
        row[10] = boolOf(r[10]);
        row[11] = boolOf(r[11]);
        row[12] = r[12];
        row[13] = r[13];
        row[14] = r[14];
        row[18] = Value(isLongType(t));
        row[19] = Value(!seen[t]);
        row[20] = Value(isFixedType(t));
        seen[t] = true;
        out.push_back(std::move(row));
    }
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaProviderTypes");
}

// Tables a key rowset covers: the restricted one, or every table.
std::vector<SchemaReader::TableRef> coveredTables(SchemaReader& s, const Restriction& cat, const Restriction& sch,
                                                  const Restriction& name) {
    if (name) return {{cat ? Value(*cat) : Value(), sch ? Value(*sch) : Value(), *name}};
    return s.tables(cat, sch, std::nullopt, "TABLE");
}

// Engines whose primary-key, index and foreign-key rowsets are read for every table with one
// query. The queries return the rows the driver's catalogue function gives for one table, in
// the same columns and order within a table.
enum class Bulk { None, Postgres, MySql, Sqlite };

Bulk bulkEngine(SchemaReader& s) {
    if (s.isPostgres()) return Bulk::Postgres;
    if (s.isMySql()) return Bulk::MySql;
    if (s.isSqlite()) return Bulk::Sqlite;
    return Bulk::None;
}

// The primary key's index only (the driver's own call takes an index named "<table>_pkey" for
// the key of a table without one). Each index's columns come from its key array; the last column
// is the table's kind, for the whole-database read to keep to tables.
const char* const pgPrimaryKeys =
    "SELECT * FROM (SELECT pg_catalog.current_database() AS cat, n.nspname, tc.relname, ta.attname, k.n AS attnum, "
    "ic.relname AS pkname, tc.relkind FROM pg_catalog.pg_index i "
    "JOIN pg_catalog.pg_class tc ON tc.oid = i.indrelid "
    "JOIN pg_catalog.pg_namespace n ON n.oid = tc.relnamespace "
    "JOIN pg_catalog.pg_class ic ON ic.oid = i.indexrelid "
    "CROSS JOIN LATERAL pg_catalog.unnest(i.indkey::int2[]) WITH ORDINALITY AS k(attnum, n) "
    "JOIN pg_catalog.pg_attribute ta ON ta.attrelid = i.indrelid AND ta.attnum = k.attnum "
    "WHERE i.indisprimary AND NOT ta.attisdropped) k WHERE true";
const char* const pgPrimaryKeysOrder = " ORDER BY k.nspname, k.relname, k.attnum";

// The key columns of each index (an INCLUDE column takes no part in its uniqueness), a partial
// index's condition as FILTER_CONDITION; beside them its INCLUDE columns as the server writes
// them and whether it holds NULLs equal (NULLS NOT DISTINCT, from PostgreSQL 15 on: %s stands
// for the column or false).
const char* const pgStatistics =
    "SELECT pg_catalog.current_database(), n.nspname, d.relname, "
    "CASE WHEN i.indisunique THEN 0 ELSE 1 END::int2, n.nspname, c.relname, "
    "CASE WHEN i.indisclustered THEN 1 WHEN a.amname = 'hash' THEN 2 ELSE 3 END::int2, k.n::int2, "
    "CASE WHEN i.indkey[k.n - 1] = 0 THEN pg_catalog.pg_get_indexdef(c.oid, k.n, true) ELSE ta.attname::text END, "
    "CASE WHEN COALESCE(i.indoption[k.n - 1], 0) & 1 = 1 THEN 'D' ELSE 'A' END, "
    "NULL::int4, NULL::int4, pg_catalog.pg_get_expr(i.indpred, i.indrelid, true), "
    "CASE WHEN i.indisprimary THEN 1 ELSE 0 END::int2, "
    // An expression member's text, apart from a column's name; no prefix lengths.
    "CASE WHEN i.indkey[k.n - 1] = 0 THEN pg_catalog.pg_get_indexdef(c.oid, k.n, true) END, NULL::int4, "
    "CASE WHEN i.indnatts > i.indnkeyatts THEN (SELECT string_agg(pg_catalog.pg_get_indexdef(c.oid, j, true), ', ' "
    "ORDER BY j) FROM pg_catalog.generate_series(i.indnkeyatts + 1, i.indnatts) j) END, "
    "%s "
    "FROM pg_catalog.pg_index i "
    "JOIN pg_catalog.pg_class c ON c.oid = i.indexrelid "
    "JOIN pg_catalog.pg_class d ON d.oid = i.indrelid "
    "JOIN pg_catalog.pg_namespace n ON n.oid = d.relnamespace "
    "JOIN pg_catalog.pg_am a ON a.oid = c.relam "
    "CROSS JOIN LATERAL pg_catalog.generate_series(1, i.indnkeyatts) AS k(n) "
    "LEFT JOIN pg_catalog.pg_attribute ta ON ta.attrelid = i.indrelid AND ta.attnum = i.indkey[k.n - 1] "
    "WHERE true";
const char* const pgStatisticsOrder = " ORDER BY n.nspname, d.relname, c.relname, k.n";

const char* const pgForeignKeys =
    "SELECT pg_catalog.current_database(), n2.nspname, c2.relname, a2.attname, "
    "pg_catalog.current_database(), n1.nspname, c1.relname, a1.attname, ref.i::int2, "
    "CASE ref.confupdtype WHEN 'c' THEN 0::int2 WHEN 'n' THEN 2::int2 WHEN 'd' THEN 4::int2 "
    "WHEN 'r' THEN 1::int2 ELSE 3::int2 END, "
    "CASE ref.confdeltype WHEN 'c' THEN 0::int2 WHEN 'n' THEN 2::int2 WHEN 'd' THEN 4::int2 "
    "WHEN 'r' THEN 1::int2 ELSE 3::int2 END, "
    "ref.conname, cn.conname, "
    "CASE WHEN ref.condeferrable THEN CASE WHEN ref.condeferred THEN 5::int2 ELSE 6::int2 END ELSE 7::int2 END, "
    "ref.oid::text "
    "FROM (SELECT oid, conrelid, conkey, confrelid, confkey, "
    "pg_catalog.generate_series(array_lower(conkey, 1), array_upper(conkey, 1)) AS i, "
    "confupdtype, confdeltype, conname, condeferrable, condeferred "
    "FROM pg_catalog.pg_constraint WHERE contype = 'f') ref "
    "JOIN pg_catalog.pg_class c1 ON c1.oid = ref.conrelid "
    "JOIN pg_catalog.pg_namespace n1 ON n1.oid = c1.relnamespace "
    "JOIN pg_catalog.pg_attribute a1 ON a1.attrelid = c1.oid AND a1.attnum = ref.conkey[ref.i] "
    "JOIN pg_catalog.pg_class c2 ON c2.oid = ref.confrelid "
    "JOIN pg_catalog.pg_namespace n2 ON n2.oid = c2.relnamespace "
    "JOIN pg_catalog.pg_attribute a2 ON a2.attrelid = c2.oid AND a2.attnum = ref.confkey[ref.i] "
    "LEFT JOIN pg_catalog.pg_constraint cn ON cn.conrelid = ref.confrelid AND cn.contype = 'p' "
    "WHERE true";
// The copies the server keeps of a key to a partitioned table, one for each partition: a key of
// the same table and columns to the partition's parent. Asked apart from the keys, from the few
// inheritance rows, so that the keys' plan does not hang on it.
const char* const pgPartitionKeyCopies =
    "SELECT c.oid::text FROM pg_catalog.pg_inherits h "
    "JOIN pg_catalog.pg_constraint c ON c.confrelid = h.inhrelid AND c.contype = 'f' "
    "JOIN pg_catalog.pg_constraint p ON p.conrelid = c.conrelid AND p.confrelid = h.inhparent "
    "AND p.contype = 'f' AND p.conkey = c.conkey";

// Drops from PostgreSQL key rows (their oid last) the server's copies for partitions.
void dropPartitionKeyCopies(SchemaReader& s, std::vector<Row>& rows) {
    std::unordered_set<std::string> copies;
    for (const Row& r : s.query(pgPartitionKeyCopies, {}))
        if (!r.empty()) copies.insert(r[0].toString());
    if (!copies.empty())
        std::erase_if(rows, [&copies](const Row& r) { return r.size() > 14 && copies.count(r[14].toString()); });
}
const char* const pgForeignKeysOrder = " ORDER BY ref.oid, ref.i";

// The key's columns in key order, from the table's own PRIMARY KEY constraint (COLUMNS marks as
// PRI the columns of the first NOT NULL unique key of a table without one as well). The server
// names every primary key PRIMARY and refuses the name to other indexes; a foreign key that
// might bear it refers to a table. (Joined to TABLE_CONSTRAINTS, the view costs the server a
// scan per table.)
const char* const myPrimaryKeys =
    "SELECT c.TABLE_SCHEMA, NULL, c.TABLE_NAME, c.COLUMN_NAME, c.ORDINAL_POSITION, 'PRIMARY' "
    "FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE c WHERE c.CONSTRAINT_NAME = 'PRIMARY' "
    "AND c.REFERENCED_TABLE_NAME IS NULL";
const char* const myPrimaryKeysOrder = " ORDER BY c.TABLE_SCHEMA, c.TABLE_NAME, 5";

// Beside the driver's columns: the primary key's flag, no expression, a column prefix's length.
const char* const myStatistics =
    "SELECT TABLE_SCHEMA, NULL, TABLE_NAME, NON_UNIQUE, NULL, INDEX_NAME, 3, SEQ_IN_INDEX, COLUMN_NAME, "
    "COLLATION, CARDINALITY, NULL, NULL, CASE WHEN INDEX_NAME = 'PRIMARY' THEN 1 ELSE 0 END, NULL, SUB_PART "
    "FROM INFORMATION_SCHEMA.STATISTICS WHERE true";
const char* const myStatisticsOrder = " ORDER BY TABLE_SCHEMA, TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX";

#define DALV_RULE(column)                                                                                          \
    "CASE " column " WHEN 'RESTRICT' THEN 1 WHEN 'NO ACTION' THEN 3 WHEN 'CASCADE' THEN 0 "                       \
    "WHEN 'SET NULL' THEN 2 WHEN 'SET DEFAULT' THEN 4 END"
// Keys referring to a primary key, a unique key or any indexed columns (the driver's own rows
// have only the first). The joined view is a DISTINCT derived table (each row is unique
// already): the server then looks its rows up by key instead of scanning the view for every
// key column. A user the server hides a key's rules from still gets the key, its rules unknown.
const char* const myForeignKeys =
    "SELECT A.REFERENCED_TABLE_SCHEMA, NULL, A.REFERENCED_TABLE_NAME, A.REFERENCED_COLUMN_NAME, "
    "A.TABLE_SCHEMA, NULL, A.TABLE_NAME, A.COLUMN_NAME, A.ORDINAL_POSITION, " DALV_RULE(
        "RC.UPDATE_RULE") ", " DALV_RULE("RC.DELETE_RULE") ", A.CONSTRAINT_NAME, RC.UNIQUE_CONSTRAINT_NAME, 7 "
    "FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE A "
    "LEFT JOIN (SELECT DISTINCT CONSTRAINT_SCHEMA, TABLE_NAME, CONSTRAINT_NAME, UNIQUE_CONSTRAINT_NAME, UPDATE_RULE, "
    "DELETE_RULE FROM INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS) RC ON RC.CONSTRAINT_NAME = A.CONSTRAINT_NAME "
    "AND RC.TABLE_NAME = A.TABLE_NAME AND RC.CONSTRAINT_SCHEMA = A.TABLE_SCHEMA "
    "WHERE A.REFERENCED_TABLE_NAME IS NOT NULL";
#undef DALV_RULE

// SQLite: keys, indexes and foreign keys come from the engine's pragmas (table-valued pragma
// functions joined to sqlite_master) for every table at once or for one table, in the rows and
// order of the ODBC catalogue functions. Names that the DDL gives to constraints are in the
// table's SQL text only and are read from it.
namespace sqlite {

using sqlitesql::DeclaredNames;
using sqlitesql::declaredNames;

// A pragma query with its table restriction in place of each "%t".
std::string forTable(const std::string& sql, const Restriction& table, std::vector<std::string>& params) {
    std::string out = sql;
    for (size_t at; (at = out.find("%t")) != std::string::npos;) {
        out.replace(at, 2, table ? " AND m.name = ?" : "");
        if (table) params.push_back(*table);
    }
    return out;
}


int ruleCode(const Value& v) {
    const std::string rule = v.toString();
    if (rule == "SET NULL") return SQL_SET_NULL;
    if (rule == "SET DEFAULT") return SQL_SET_DEFAULT;
    if (rule == "CASCADE") return SQL_CASCADE;
    if (rule == "RESTRICT") return SQL_RESTRICT;
    return SQL_NO_ACTION;
}

// Declared names of the covered tables that name a constraint, by table name.
std::unordered_map<std::string, DeclaredNames> declaredNamesOf(SchemaReader& s, const Restriction& table) {
    std::vector<std::string> params;
    std::unordered_map<std::string, DeclaredNames> out;
    for (auto& r : s.query(forTable("SELECT m.name, m.sql FROM sqlite_master m WHERE m.type = 'table' "
                                    "AND m.sql LIKE '%constraint%'%t",
                                    table, params),
                           params))
        if (r.size() >= 2 && !r[1].isNull()) out.emplace(r[0].toString(), declaredNames(r[1].toString()));
    return out;
}

// Key columns from table_info and index columns from index_list and index_info. Each column
// keeps one kind of value: table, part, position, sequence, column name, text, flag. Part 0 is
// a key column (position cid, sequence pk, text the declared type); part 1 an index column
// (position the index's place in index_list, sequence seqno, text the index name, flag unique).
const char* const keyColumnsPart =
    "SELECT m.name, 0, p.cid, p.pk, p.name, p.type, NULL, NULL, NULL FROM sqlite_master m, pragma_table_info(m.name) p "
    "WHERE m.type = 'table' AND p.pk <> 0%t";
// Beside: the column's cid (-2 for an expression) and, for a partial index or one with an
// expression, the index's CREATE text.
const char* const indexColumnsPart =
    "SELECT m.name, 1, l.seq, i.seqno, i.name, l.name, l.\"unique\", i.cid, CASE WHEN l.partial <> 0 OR i.cid = -2 "
    "THEN (SELECT x.sql FROM sqlite_master x WHERE x.type = 'index' AND x.name = l.name) END "
    "FROM sqlite_master m, pragma_index_list(m.name) l, pragma_index_info(l.name) i WHERE m.type = 'table'%t";

// The rows of SQLPrimaryKeys and of SQLStatistics for every table or the one restricted to
// (keys only: no statistics).
struct KeysAndStatistics {
    std::vector<Row> keys, statistics;
};

// keyColumns, when given, are the key column rows of every table (table not restricted to).
KeysAndStatistics keysAndStatistics(SchemaReader& s, const Restriction& table, bool keysOnly = false,
                                    const std::vector<Row>* keyColumns = nullptr) {
    struct TableRows {
        std::vector<const Row*> keys, indexes;
    };
    std::map<std::string, TableRows> byTable;
    std::string sql = keyColumns ? "" : keyColumnsPart;
    if (!keysOnly) sql += (sql.empty() ? "" : " UNION ALL ") + std::string(indexColumnsPart);
    std::vector<std::string> params;
    std::vector<Row> rows;
    if (!sql.empty()) rows = s.query(forTable(sql + " ORDER BY 1, 2, 3, 4", table, params), params);
    if (keyColumns) rows.insert(rows.end(), keyColumns->begin(), keyColumns->end());
    for (const Row& r : rows) {
        if (r.size() < 7) continue;
        TableRows& t = byTable[r[0].toString()];
        (r[1].toInt() == 0 ? t.keys : t.indexes).push_back(&r);
    }
    const auto names = declaredNamesOf(s, table);
    KeysAndStatistics out;
    for (auto& [name, t] : byTable) {
        // SQLPrimaryKeys: the key columns in key order, numbered from 1, named as declared. A
        // table without key columns has no primary key, whatever unique indexes it has (the
        // driver's own call names them instead).
        auto declared = names.find(name);
        const Value keyName = declared == names.end() || declared->second.primaryKey.empty()
                                  ? Value()
                                  : Value(declared->second.primaryKey);
        std::stable_sort(t.keys.begin(), t.keys.end(),
                         [](const Row* a, const Row* b) { return (*a)[3].toInt() < (*b)[3].toInt(); });
        for (const Row* r : t.keys)
            out.keys.push_back({Value(""), Value(""), Value(name), (*r)[4], Value((*r)[3].toInt()), keyName});
        // SQLStatistics: every index column in index_list order; all ascending, type "other".
        // (An INTEGER PRIMARY KEY is the rowid and has no index.) Beside: an expression member's
        // text and a partial index's condition, as its CREATE text has them.
        std::map<std::string, sqlitesql::IndexText> texts;
        for (const Row* r : t.indexes) {
            Value expression, condition;
            if (r->size() > 8 && !(*r)[8].isNull()) {
                auto it = texts.find((*r)[5].toString());
                if (it == texts.end()) it = texts.emplace((*r)[5].toString(), sqlitesql::indexText((*r)[8].toString())).first;
                const std::size_t seq = static_cast<std::size_t>((*r)[3].toInt());
                if ((*r)[7].toInt() == -2) expression = Value(seq < it->second.members.size() ? it->second.members[seq] : "");
                if (!it->second.condition.empty()) condition = Value(it->second.condition);
            }
            out.statistics.push_back({Value(""), Value(""), Value(name), Value((*r)[6].toInt() != 0 ? SQL_FALSE : SQL_TRUE),
                                      Value(), (*r)[5], Value(SQL_INDEX_OTHER), Value((*r)[3].toInt() + 1),
                                      expression.isNull() ? (*r)[4] : expression, Value("A"), Value(), Value(),
                                      condition, Value(), expression, Value()});
        }
    }
    return out;
}

// The keys and statistics of every table. A reader asks for the keys, then for the index
// rowset, which needs both; each read costs SQLite a name lookup per table and per index,
// slower the more tables there are. With keep, what is read stays for the next call (while the
// schema version holds); without, what was kept is handed out and dropped.
KeysAndStatistics wholeKeysAndStatistics(SchemaReader& s, bool keep) {
    auto& cache = s.connection().catalogueCache;
    const long long version = sqliteSchemaVersion(s);
    KeysAndStatistics both;
    if (version >= 0 && version == cache.schemaVersion) {
        both = keep ? KeysAndStatistics{cache.keys, cache.statistics}
                    : KeysAndStatistics{std::move(cache.keys), std::move(cache.statistics)};
    } else {
        const bool columnsRead = version >= 0 && version == cache.keyColumnsVersion;
        both = keysAndStatistics(s, std::nullopt, false, columnsRead ? &cache.keyColumns : nullptr);
        if (keep && version >= 0) {
            cache = {version, both.keys, both.statistics, -1, {}};
            return both;
        }
    }
    if (!keep) cache = {};
    return both;
}

std::optional<std::vector<Row>> primaryKeys(SchemaReader& s) { return wholeKeysAndStatistics(s, true).keys; }

// SQLForeignKeys: the foreign keys of every table (in sqlite_master order, each table's keys in
// the order declared) or of the tables referring to the restricted one, its name as
// sqlite_master has it (SQLite matches names without regard to ASCII case); named as declared,
// not deferrable.
std::vector<Row> foreignKeys(SchemaReader& s, const Restriction& referenced, const Restriction& referencing) {
    std::unordered_map<std::string, std::string> tableByLowerName;
    for (auto& t : s.query("SELECT name FROM sqlite_master WHERE type = 'table'", {}))
        if (!t.empty()) tableByLowerName.emplace(text::lower(t[0].toString()), t[0].toString());
    std::vector<std::string> params;
    auto rows = s.query(forTable("SELECT m.name, f.id, f.seq, f.\"table\", f.\"from\", f.\"to\", f.on_update, "
                                 "f.on_delete FROM sqlite_master m, pragma_foreign_key_list(m.name) f "
                                 "WHERE m.type = 'table'%t ORDER BY m.rowid, f.id DESC, f.seq",
                                 referencing, params),
                        params);
    const auto names = declaredNamesOf(s, referencing);
    // Each foreign key (table, id) gets the name of the declared key with its columns.
    std::map<std::pair<std::string, long long>, std::vector<std::string>> columnsOf;
    for (const Row& r : rows)
        if (r.size() >= 8) columnsOf[{r[0].toString(), r[1].toInt()}].push_back(text::lower(r[4].toString()));
    std::map<std::pair<std::string, long long>, std::string> nameOf;
    std::map<std::string, std::vector<bool>> used;
    // pragma_foreign_key_list numbers keys from the last declared: match from the first declared.
    for (auto it = columnsOf.rbegin(); it != columnsOf.rend(); ++it) {
        auto d = names.find(it->first.first);
        if (d == names.end()) continue;
        auto& taken = used[it->first.first];
        taken.resize(d->second.foreignKeys.size());
        for (size_t k = 0; k < d->second.foreignKeys.size(); ++k) {
            if (taken[k] || d->second.foreignKeys[k].second != it->second) continue;
            taken[k] = true;
            nameOf[it->first] = d->second.foreignKeys[k].first;
            break;
        }
    }
    std::vector<Row> out;
    for (const Row& r : rows) {
        if (r.size() < 8) continue;
        std::string target = r[3].toString();
        auto t = tableByLowerName.find(text::lower(target));
        if (t != tableByLowerName.end()) target = t->second;
        if (referenced && target != *referenced) continue;
        auto n = nameOf.find({r[0].toString(), r[1].toInt()});
        const Value name = n == nameOf.end() || n->second.empty() ? Value() : Value(n->second);
        out.push_back({Value(""), Value(""), Value(target), r[5], Value(""), Value(""), r[0], r[4],
                       Value(r[2].toInt() + 1), Value(ruleCode(r[6])), Value(ruleCode(r[7])), name, Value(),
                       Value(SQL_NOT_DEFERRABLE)});
    }
    return out;
}

std::optional<std::vector<Row>> allForeignKeys(SchemaReader& s) { return foreignKeys(s, std::nullopt, std::nullopt); }

}  // namespace sqlite

// Rows of one catalogue function for every table, filed by table (columns 0-2: catalog, schema,
// table). PostgreSQL tells tables apart by schema, MariaDB/MySQL by catalog (its databases).
class CatalogueRows {
public:
    CatalogueRows(Bulk engine, std::vector<Row> rows) : engine_(engine) {
        for (auto& r : rows)
            if (r.size() > 2) byTable_[key(r[0], r[1], r[2].toString())].push_back(std::move(r));
    }
    const std::vector<Row>& rowsOf(const SchemaReader::TableRef& t) const {
        static const std::vector<Row> none;
        auto it = byTable_.find(key(t.catalog, t.schema, t.name));
        return it == byTable_.end() ? none : it->second;
    }

private:
    std::string key(const Value& catalog, const Value& schema, const std::string& name) const {
        if (engine_ == Bulk::Sqlite) return name;
        return (engine_ == Bulk::Postgres ? schema : catalog).toString() + '\x1f' + name;
    }
    Bulk engine_;
    std::unordered_map<std::string, std::vector<Row>> byTable_;
};

// A whole-database query per engine, the column a catalog or schema restriction binds, the
// order it ends with and, on PostgreSQL, the column of the kind of relation the rows are of.
struct CatalogueQuery {
    const char* postgres;
    const char* postgresSchema;
    const char* postgresOrder;
    const char* postgresKind;
    const char* mysql;
    const char* mysqlCatalog;
    const char* mysqlOrder;
    // SQLite: the rows, restrictions not applied (the covered tables are); statistics come with
    // the keys (sqlite::keysAndStatistics).
    std::optional<std::vector<Row>> (*sqlite)(SchemaReader&);
};
const CatalogueQuery primaryKeysQuery{pgPrimaryKeys, "k.nspname", pgPrimaryKeysOrder, "k.relkind",
                                      myPrimaryKeys, "c.TABLE_SCHEMA", myPrimaryKeysOrder, sqlite::primaryKeys};
const CatalogueQuery statisticsQuery{pgStatistics, "n.nspname", pgStatisticsOrder, "d.relkind",
                                     myStatistics, "TABLE_SCHEMA", myStatisticsOrder, nullptr};
const CatalogueQuery foreignKeysQuery{pgForeignKeys, "n2.nspname", pgForeignKeysOrder, "c2.relkind",
                                      myForeignKeys, "A.REFERENCED_TABLE_SCHEMA", "", sqlite::allForeignKeys};

// Appends " AND column = ?" to sql, and the value to params, for each restriction given.
void bindEquals(std::string& sql, std::vector<std::string>& params,
                std::initializer_list<std::pair<const char*, Restriction>> restrictions) {
    for (const auto& [column, value] : restrictions) {
        if (!value) continue;
        sql += std::string(" AND ") + column + " = ?";
        params.push_back(*value);
    }
}

// PostgreSQL's statistics query for this server.
std::string pgStatisticsSql(SchemaReader& s) {
    return withClause(pgStatistics, s.pgVersion() >= 150000 ? "i.indnullsnotdistinct" : "false");
}

// A PostgreSQL array literal of names, for "= ANY (?::name[])".
std::string pgNameArray(const std::set<std::string>& names) {
    std::string out = "{";
    for (const std::string& n : names) {
        if (out.size() > 1) out += ',';
        out += '"';
        for (char ch : n) {
            if (ch == '"' || ch == '\\') out += '\\';
            out += ch;
        }
        out += '"';
    }
    return out + "}";
}

// One query for every covered table, its restriction bound. nullopt when the engine has no such
// query or it fails (the caller then asks per table). The rows are those of the covered tables'
// schemas (PostgreSQL) or databases and, on PostgreSQL, of tables only: the server's own
// catalogues and the storage tables of long values stay out.
std::optional<CatalogueRows> readCatalogue(SchemaReader& s, Bulk engine, const CatalogueQuery& q,
                                           const Restriction& cat, const Restriction& sch,
                                           const std::vector<SchemaReader::TableRef>& covered) {
    if (engine == Bulk::None) return std::nullopt;
    if (engine == Bulk::Sqlite) {
        if (!q.sqlite) return std::nullopt;
        try {
            auto rows = q.sqlite(s);
            if (rows) return CatalogueRows(engine, std::move(*rows));
        } catch (const Error&) {
        }
        return std::nullopt;
    }
    if (covered.empty()) return CatalogueRows(engine, {});
    const bool pg = engine == Bulk::Postgres;
    std::string sql = pg ? (&q == &statisticsQuery ? pgStatisticsSql(s) : std::string(q.postgres)) : q.mysql;
    std::vector<std::string> params;
    const char* scope = pg ? q.postgresSchema : q.mysqlCatalog;
    bindEquals(sql, params, {{scope, pg ? sch : cat}});
    if (!(pg ? sch : cat)) {
        std::set<std::string> scopes;
        for (const auto& t : covered) scopes.insert((pg ? t.schema : t.catalog).toString());
        if (pg) {
            sql += std::string(" AND ") + scope + " = ANY (?::name[])";
            params.push_back(pgNameArray(scopes));
        } else {
            sql += std::string(" AND ") + scope + " IN (";
            for (const std::string& c : scopes) {
                sql += params.empty() ? "?" : ", ?";
                params.push_back(c);
            }
            sql += ")";
        }
    }
    // A table is a plain or a partitioned one: SQLTables calls the others otherwise.
    if (pg) sql += std::string(" AND ") + q.postgresKind + " IN ('r', 'p')";
    sql += pg ? q.postgresOrder : q.mysqlOrder;
    try {
        std::vector<Row> rows = s.query(sql, params);
        if (pg && &q == &foreignKeysQuery) dropPartitionKeyCopies(s, rows);
        return CatalogueRows(engine, std::move(rows));
    } catch (const Error&) {
        return std::nullopt;
    }
}

// PostgreSQL's and MariaDB's statistics of one table from the whole-database query (with what
// the driver's rows lack: conditions, expressions, prefixes); nullopt elsewhere or on failure.
std::optional<std::vector<Row>> tableStatistics(SchemaReader& s, const SchemaReader::TableRef& t) {
    const Bulk engine = bulkEngine(s);
    if (engine != Bulk::Postgres && engine != Bulk::MySql) return std::nullopt;
    const bool pg = engine == Bulk::Postgres;
    std::string sql = pg ? pgStatisticsSql(s) : myStatistics;
    std::vector<std::string> params;
    auto cat = SchemaReader::text(t.catalog), sch = SchemaReader::text(t.schema);
    if (!pg && !cat) cat = s.currentCatalog();
    bindEquals(sql, params, {{pg ? "n.nspname" : "TABLE_SCHEMA", pg ? sch : cat}, {pg ? "d.relname" : "TABLE_NAME", t.name}});
    try {
        return s.query(sql + (pg ? pgStatisticsOrder : myStatisticsOrder), params);
    } catch (const Error&) {
        return std::nullopt;
    }
}

struct PrimaryKey {
    std::string name;
    std::vector<std::string> columns;
};

// Key columns in key order.
void orderPrimaryKeyRows(std::vector<Row>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.size() > 4 && b.size() > 4 && a[4].toInt() < b[4].toInt();
    });
}

std::vector<Row> primaryKeyRows(SchemaReader& s, const SchemaReader::TableRef& t) {
    if (s.isSqlite()) return sqlite::keysAndStatistics(s, t.name, true).keys;
    auto cat = SchemaReader::text(t.catalog), sch = SchemaReader::text(t.schema);
    if (s.isMySql()) {
        // The driver numbers a key's columns in column order, not key order, and takes a NOT
        // NULL unique key for the key of a table without one.
        std::string sql = myPrimaryKeys;
        std::vector<std::string> params;
        bindEquals(sql, params, {{"c.TABLE_SCHEMA", cat ? cat : Restriction(s.currentCatalog())}, {"c.TABLE_NAME", t.name}});
        try {
            return s.query(sql + myPrimaryKeysOrder, params);
        } catch (const Error&) {
            // the driver's rows below
        }
    } else if (s.isPostgres()) {
        std::string sql = pgPrimaryKeys;
        std::vector<std::string> params;
        bindEquals(sql, params, {{"k.nspname", sch}, {"k.relname", t.name}});
        try {
            return s.query(sql + pgPrimaryKeysOrder, params);
        } catch (const Error&) {
            // the driver's rows below
        }
    }
    std::string table = t.name;
    auto rows = s.call([&](SQLHSTMT st) {
        return SQLPrimaryKeys(st, SchemaReader::arg(cat), SchemaReader::len(cat), SchemaReader::arg(sch),
                              SchemaReader::len(sch), reinterpret_cast<SQLCHAR*>(table.data()), SQL_NTS);
    });
    // Some drivers match the name as a LIKE pattern.
    std::erase_if(rows, [&](const Row& r) { return r.size() > 2 && r[2].toString() != t.name; });
    orderPrimaryKeyRows(rows);
    return rows;
}

Recordset primaryKeysRowset(SchemaReader& s) {
    using namespace adtype;
    auto fields = columns({{"TABLE_CATALOG", VarWChar}, {"TABLE_SCHEMA", VarWChar}, {"TABLE_NAME", VarWChar},
                           {"COLUMN_NAME", VarWChar}, {"COLUMN_GUID", GUID}, {"COLUMN_PROPID", UnsignedInt},
                           {"ORDINAL", UnsignedInt}, {"PK_NAME", VarWChar}});
    auto tables = coveredTables(s, s.r(0), s.r(1), s.r(2));
    std::optional<CatalogueRows> all;
    if (!s.r(2)) all = readCatalogue(s, bulkEngine(s), primaryKeysQuery, s.r(0), s.r(1), tables);
    std::vector<Row> out;
    for (auto& t : tables) {
        std::vector<Row> rows = all ? all->rowsOf(t) : primaryKeyRows(s, t);
        if (all) orderPrimaryKeyRows(rows);
        for (auto& r : rows) {
            if (r.size() < 6) continue;
            out.push_back({r[0], r[1], r[2], r[3], Value(), Value(), r[4].isNull() ? Value() : Value(r[4].toInt()), r[5]});
        }
    }
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaPrimaryKeys");
}

Recordset indexesRowset(SchemaReader& s) {
    using namespace adtype;
    auto fields = columns({{"TABLE_CATALOG", VarWChar}, {"TABLE_SCHEMA", VarWChar}, {"TABLE_NAME", VarWChar},
                           {"INDEX_CATALOG", VarWChar}, {"INDEX_SCHEMA", VarWChar}, {"INDEX_NAME", VarWChar},
                           {"PRIMARY_KEY", Boolean}, {"UNIQUE", Boolean}, {"CLUSTERED", Boolean},
                           {"TYPE", UnsignedSmallInt}, {"FILL_FACTOR", Integer}, {"INITIAL_SIZE", Integer},
                           {"NULLS", Integer}, {"SORT_BOOKMARKS", Boolean}, {"AUTO_UPDATE", Boolean},
                           {"NULL_COLLATION", Integer}, {"ORDINAL_POSITION", UnsignedInt},
                           {"COLUMN_NAME", VarWChar}, {"COLUMN_GUID", GUID}, {"COLUMN_PROPID", UnsignedInt},
                           {"COLLATION", SmallInt}, {"CARDINALITY", UnsignedBigInt}, {"PAGES", Integer},
                           {"FILTER_CONDITION", VarWChar}, {"INTEGRATED", Boolean},
                           // not in ADO's rowset: an expression member's text (COLUMN_NAME holds
                           // it too), a column prefix's length; the index's INCLUDE columns (the
                           // engine's text) and whether its NULLs count as equal
                           {"COLUMN_EXPRESSION", VarWChar}, {"PREFIX_LENGTH", UnsignedInt},
                           {"INCLUDED_COLUMNS", VarWChar}, {"NULLS_NOT_DISTINCT", Boolean}});
    auto indexName = s.r(2);
    auto tables = coveredTables(s, s.r(0), s.r(1), s.r(4));
    std::optional<CatalogueRows> allIndexes, allKeys;
    bool flagged = false;  // the index rows say which index is the primary key's
    if (!s.r(4)) {
        const Bulk engine = bulkEngine(s);
        if (engine == Bulk::Sqlite) {
            // One query answers both.
            try {
                auto both = sqlite::wholeKeysAndStatistics(s, false);
                allIndexes = CatalogueRows(engine, std::move(both.statistics));
                allKeys = CatalogueRows(engine, std::move(both.keys));
            } catch (const Error&) {
            }
        } else {
            // Their rows end with a flag for the primary key's index: no key query is needed.
            allIndexes = readCatalogue(s, engine, statisticsQuery, s.r(0), s.r(1), tables);
            flagged = allIndexes.has_value();
        }
        if (!allKeys && !flagged) allIndexes.reset();
    }
    const bool sqliteEngine = !allIndexes && s.isSqlite();
    std::vector<Row> out;
    for (auto& t : tables) {
        std::vector<Row> rows;
        if (allIndexes) {
            rows = allIndexes->rowsOf(t);
        } else if (sqliteEngine) {
            rows = sqlite::keysAndStatistics(s, t.name).statistics;
        } else if (auto own = tableStatistics(s, t)) {
            rows = std::move(*own);
        } else {
            auto cat = SchemaReader::text(t.catalog), sch = SchemaReader::text(t.schema);
            std::string table = t.name;
            rows = s.call([&](SQLHSTMT st) {
                return SQLStatistics(st, SchemaReader::arg(cat), SchemaReader::len(cat), SchemaReader::arg(sch),
                                     SchemaReader::len(sch), reinterpret_cast<SQLCHAR*>(table.data()), SQL_NTS,
                                     SQL_INDEX_ALL, SQL_QUICK);
            });
        }
        PrimaryKey pk;
        if (!flagged) {
            try {
                std::vector<Row> keyRows = allKeys ? allKeys->rowsOf(t) : primaryKeyRows(s, t);
                if (allKeys) orderPrimaryKeyRows(keyRows);
                for (auto& r : keyRows) {
                    if (r.size() < 6) continue;
                    pk.name = r[5].toString();
                    pk.columns.push_back(r[3].toString());
                }
            } catch (const Error&) {
                // no key information: no index is marked as the primary key
            }
        }
        std::map<std::string, std::vector<std::string>> indexColumns;
        std::vector<Row> tableRows;
        for (auto& r : rows) {
            if (r.size() < 13 || r[6].toInt() == SQL_TABLE_STAT || r[5].isNull()) continue;
            if (r[2].toString() != t.name) continue;  // a LIKE match of another table
            if (indexName && r[5].toString() != *indexName) continue;
            indexColumns[r[5].toString()].push_back(r[8].toString());
            tableRows.push_back(r);
        }
        std::stable_sort(tableRows.begin(), tableRows.end(), [](const Row& a, const Row& b) {
            const bool ua = a[3].toInt() == 0, ub = b[3].toInt() == 0;
            if (ua != ub) return ua;
            if (a[5].toString() != b[5].toString()) return a[5].toString() < b[5].toString();
            return a[7].toInt() < b[7].toInt();
        });
        for (auto& r : tableRows) {
            const bool unique = r[3].toInt() == 0;
            const std::string name = r[5].toString();
            const bool primary = unique && (flagged ? r.size() > 13 && r[13].toInt() != 0
                                                    : !pk.columns.empty() && (pk.name.empty() ? indexColumns[name] == pk.columns
                                                                                              : name == pk.name));
            Row row(fields.size());
            row[0] = r[0];
            row[1] = r[1];
            row[2] = r[2];
            row[3] = r[0];
            row[4] = r[1];
            row[5] = r[5];
            row[6] = Value(primary);
            row[7] = Value(unique);
            row[8] = Value(r[6].toInt() == SQL_INDEX_CLUSTERED);
            row[9] = Value(r[6].toInt() == SQL_INDEX_HASHED ? 2 : 1);
            row[16] = r[7].isNull() ? Value() : Value(r[7].toInt());
            row[17] = r[8];
            const std::string order = r[9].toString();
            row[20] = order == "A" ? Value(1) : order == "D" ? Value(2) : Value();
            row[21] = r[10];
            row[22] = r[11];
            row[23] = r[12];
            if (r.size() > 15) {
                row[25] = r[14];
                row[26] = r[15].isNull() ? Value() : Value(r[15].toInt());
            }
            if (r.size() > 17) {
                row[27] = r[16];
                row[28] = Value(r[17].toBool());
            }
            out.push_back(std::move(row));
        }
    }
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaIndexes");
}

// MariaDB's driver orders foreign keys by referencing table and key position only, leaving ties
// to the server; constraint names settle them.
void orderForeignKeyRows(std::vector<Row>& rows, Bulk engine) {
    if (engine != Bulk::MySql) return;
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        auto key = [](const Row& r) {
            return std::make_tuple(r[4].toString(), r[6].toString(), r[8].toInt(), r[2].toString(), r[11].toString());
        };
        return key(a) < key(b);
    });
}

// PostgreSQL keys of the restricted tables by the whole-database query (the driver lists the
// server's own copies of a key for each partition); nullopt when the query fails.
std::optional<std::vector<Row>> pgForeignKeysOf(SchemaReader& s, const Restriction& pkSchema, const Restriction& pkTable,
                                 const Restriction& fkSchema, const Restriction& fkTable) {
    std::string sql = pgForeignKeys;
    std::vector<std::string> params;
    bindEquals(sql, params, {{"n2.nspname", pkSchema}, {"c2.relname", pkTable}, {"n1.nspname", fkSchema}, {"c1.relname", fkTable}});
    try {
        std::vector<Row> rows = s.query(sql + pgForeignKeysOrder, params);
        dropPartitionKeyCopies(s, rows);
        return rows;
    } catch (const Error&) {
        return std::nullopt;
    }
}

Recordset foreignKeysRowset(SchemaReader& s) {
    using namespace adtype;
    auto fields = columns({{"PK_TABLE_CATALOG", VarWChar}, {"PK_TABLE_SCHEMA", VarWChar}, {"PK_TABLE_NAME", VarWChar},
                           {"PK_COLUMN_NAME", VarWChar}, {"PK_COLUMN_GUID", GUID}, {"PK_COLUMN_PROPID", UnsignedInt},
                           {"FK_TABLE_CATALOG", VarWChar}, {"FK_TABLE_SCHEMA", VarWChar}, {"FK_TABLE_NAME", VarWChar},
                           {"FK_COLUMN_NAME", VarWChar}, {"FK_COLUMN_GUID", GUID}, {"FK_COLUMN_PROPID", UnsignedInt},
                           {"ORDINAL", UnsignedInt}, {"UPDATE_RULE", VarWChar}, {"DELETE_RULE", VarWChar},
                           {"PK_NAME", VarWChar}, {"FK_NAME", VarWChar}, {"DEFERRABILITY", SmallInt}});
    auto pkCat = s.r(0), pkSch = s.r(1), pkTable = s.r(2), fkCat = s.r(3), fkSch = s.r(4), fkTable = s.r(5);
    const Bulk engine = bulkEngine(s);
    struct Call {
        Restriction cat, sch, pkTable, fkTable;
        std::optional<SchemaReader::TableRef> table;  // the referenced table, when every table is asked
    };
    std::vector<Call> calls;
    std::optional<CatalogueRows> all;
    if (pkTable || fkTable) {
        calls.push_back({pkCat, pkSch, pkTable, fkTable, std::nullopt});
    } else {
        const auto tables = s.tables(pkCat, pkSch, std::nullopt, "TABLE");
        for (auto& t : tables)
            calls.push_back({SchemaReader::text(t.catalog), SchemaReader::text(t.schema), t.name, std::nullopt, t});
        // Referencing-side restrictions are checked below; the referenced side is bound.
        all = readCatalogue(s, engine, foreignKeysQuery, pkCat, pkSch, tables);
    }
    std::vector<Row> out;
    for (auto& c : calls) {
        std::vector<Row> rows;
        if (all) {
            for (const Row& r : all->rowsOf(*c.table)) {
                if (fkCat && engine == Bulk::MySql && r[4].toString() != *fkCat) continue;
                if (fkSch && engine == Bulk::Postgres && r[5].toString() != *fkSch) continue;
                rows.push_back(r);
            }
        } else if (engine == Bulk::Sqlite) {
            rows = sqlite::foreignKeys(s, c.pkTable, c.fkTable);
        } else if (engine == Bulk::MySql) {
            // The whole-database query, restricted: the driver's keys are those to primary keys.
            std::string sql = myForeignKeys;
            std::vector<std::string> params;
            // Like the driver, the current database where none is given.
            const std::string current = c.cat ? std::string() : s.currentCatalog();
            bindEquals(sql, params,
                       {{"A.REFERENCED_TABLE_SCHEMA", c.cat ? c.cat : current.empty() ? Restriction() : Restriction(current)},
                        {"A.REFERENCED_TABLE_NAME", c.pkTable},
                        {"A.TABLE_SCHEMA", fkCat},
                        {"A.TABLE_NAME", c.fkTable}});
            rows = s.query(sql, params);
        } else if (auto pgRows = engine == Bulk::Postgres ? pgForeignKeysOf(s, c.sch, c.pkTable, fkSch, c.fkTable)
                                                          : std::nullopt) {
            rows = std::move(*pgRows);
        } else {
            rows = s.call([&](SQLHSTMT st) {
                using R = SchemaReader;
                return SQLForeignKeys(st, R::arg(c.cat), R::len(c.cat), R::arg(c.sch), R::len(c.sch), R::arg(c.pkTable),
                                      R::len(c.pkTable), R::arg(fkCat), R::len(fkCat), R::arg(fkSch), R::len(fkSch),
                                      R::arg(c.fkTable), R::len(c.fkTable));
            });
        }
        if (!all && engine != Bulk::Sqlite) {
            // Names compare without regard to case on some servers: only the named tables.
            std::erase_if(rows, [&](const Row& r) {
                return r.size() < 14 || (c.pkTable && r[2].toString() != *c.pkTable) ||
                       (c.fkTable && r[6].toString() != *c.fkTable);
            });
        }
        orderForeignKeyRows(rows, engine);
        for (auto& r : rows) {
            if (r.size() < 14) continue;
            out.push_back({r[0], r[1], r[2], r[3], Value(), Value(), r[4], r[5], r[6], r[7], Value(), Value(),
                           r[8].isNull() ? Value() : Value(r[8].toInt()), Value(ruleText(r[9])), Value(ruleText(r[10])),
                           r[12], r[11], r[13].isNull() ? Value() : Value(r[13].toInt())});
        }
    }
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaForeignKeys");
}

// MariaDB/MySQL SQL text as the server stores it: at i, a quoted string is stepped over (i then
// after it) and a backquoted name read (i then after its closing backquote). Returns whether
// a name was read.
bool myToken(const std::string& sql, size_t& i, std::string& name) {
    const char ch = sql[i];
    if (ch == '\'' || ch == '"') {
        for (++i; i < sql.size() && sql[i] != ch; ++i)
            if (sql[i] == '\\') ++i;
        ++i;
        return false;
    }
    if (ch != '`') {
        ++i;
        return false;
    }
    name.clear();
    for (++i; i < sql.size(); ++i) {
        if (sql[i] != '`') name += sql[i];
        else if (i + 1 < sql.size() && sql[i + 1] == '`') name += sql[++i];
        else break;
    }
    ++i;
    return true;
}

// INFORMATION_SCHEMA query with equality restrictions on the given columns.
std::vector<Row> infoSchema(SchemaReader& s, const std::string& select, const std::vector<std::string>& restrictColumns,
                            std::vector<Restriction> values, int defaultSchemaColumn = -1, const char* order = "") {
    if (defaultSchemaColumn >= 0 && !values[defaultSchemaColumn] && s.isMySql()) {
        std::string db = s.currentCatalog();
        if (!db.empty()) values[defaultSchemaColumn] = db;
    }
    std::string sql = select;
    std::vector<std::string> params;
    for (size_t i = 0; i < restrictColumns.size() && i < values.size(); ++i) {
        if (!values[i]) continue;
        sql += params.empty() ? " WHERE " : " AND ";
        sql += restrictColumns[i] + " = ?";
        params.push_back(*values[i]);
    }
    return s.query(sql + order, params);
}

Recordset checkConstraintsRowset(SchemaReader& s) {
    auto fields = columns({{"CONSTRAINT_CATALOG", adtype::VarWChar}, {"CONSTRAINT_SCHEMA", adtype::VarWChar},
                           {"CONSTRAINT_NAME", adtype::VarWChar}, {"CHECK_CLAUSE", adtype::VarWChar},
                           {"DESCRIPTION", adtype::VarWChar},
                           // not in ADO's rowset: the table and column a check is on, where the
                           // engine tells them (a check on several columns has a row for each)
                           {"TABLE_SCHEMA", adtype::VarWChar}, {"TABLE_NAME", adtype::VarWChar},
                           {"COLUMN_NAME", adtype::VarWChar}});
    const std::vector<std::string> restrictColumns = {"CONSTRAINT_CATALOG", "CONSTRAINT_SCHEMA", "CONSTRAINT_NAME"};
    std::vector<Row> rows;
    bool read = false;
    if (s.isPostgres()) {
        // From the catalogue itself: INFORMATION_SCHEMA shows only the checks of the user's own
        // tables, and the names of checks are unique per table, not per schema.
        rows = infoSchema(s,
                          "SELECT * FROM (SELECT pg_catalog.current_database()::text AS CONSTRAINT_CATALOG, "
                          "n.nspname::text AS CONSTRAINT_SCHEMA, c.conname::text AS CONSTRAINT_NAME, "
                          "substring(pg_catalog.pg_get_constraintdef(c.oid) from 7) AS CHECK_CLAUSE, NULL, "
                          "n.nspname::text, t.relname::text, a.attname::text FROM pg_catalog.pg_constraint c "
                          "JOIN pg_catalog.pg_class t ON t.oid = c.conrelid "
                          "JOIN pg_catalog.pg_namespace n ON n.oid = t.relnamespace "
                          "JOIN pg_catalog.pg_attribute a ON a.attrelid = t.oid AND a.attnum = ANY (c.conkey) "
                          "WHERE c.contype = 'c') c",
                          restrictColumns, {s.r(0), s.r(1), s.r(2)}, -1, " ORDER BY 6, 7, 8, 3");
        read = true;
    } else if (s.isMySql()) {
        // MariaDB names a column's check after its column and keeps no constraint-column usage.
        // (Servers without LEVEL take the plain query.)
        try {
            rows = infoSchema(s,
                              "SELECT * FROM (SELECT CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, "
                              "CHECK_CLAUSE, NULL, NULL AS T_SCHEMA, TABLE_NAME AS T_NAME, CASE WHEN LEVEL = 'Column' "
                              "THEN CONSTRAINT_NAME END AS C_NAME FROM INFORMATION_SCHEMA.CHECK_CONSTRAINTS) c",
                              restrictColumns, {s.r(0), s.r(1), s.r(2)}, 1);
            read = true;
            // A table's check is on the columns its clause names (the server writes them
            // backquoted), as PostgreSQL gives a check on several columns.
            std::vector<Row> placed;
            for (Row& r : rows) {
                if (r.size() < 8 || r[6].isNull() || !r[7].isNull()) {
                    placed.push_back(std::move(r));
                    continue;
                }
                const std::string clause = r[3].toString();
                std::set<std::string> named;
                std::string n;
                for (size_t i = 0; i < clause.size();)
                    if (myToken(clause, i, n)) named.insert(n);
                for (const std::string& column : named) {
                    Row one = r;
                    one[7] = Value(column);
                    placed.push_back(std::move(one));
                }
            }
            rows = std::move(placed);
        } catch (const Error&) {
        }
    }
    if (!read)
        rows = infoSchema(s,
                          "SELECT CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, CHECK_CLAUSE FROM "
                          "INFORMATION_SCHEMA.CHECK_CONSTRAINTS",
                          restrictColumns, {s.r(0), s.r(1), s.r(2)}, 1);
    for (auto& r : rows) r.resize(fields.size());
    return Recordset::fromRows(std::move(fields), std::move(rows), "adSchemaCheckConstraints");
}

Recordset constraintColumnUsageRowset(SchemaReader& s) {
    auto fields = columns({{"TABLE_CATALOG", adtype::VarWChar}, {"TABLE_SCHEMA", adtype::VarWChar},
                           {"TABLE_NAME", adtype::VarWChar}, {"COLUMN_NAME", adtype::VarWChar},
                           {"COLUMN_GUID", adtype::GUID}, {"COLUMN_PROPID", adtype::UnsignedInt},
                           {"CONSTRAINT_CATALOG", adtype::VarWChar}, {"CONSTRAINT_SCHEMA", adtype::VarWChar},
                           {"CONSTRAINT_NAME", adtype::VarWChar}});
    auto rows = infoSchema(s,
                           "SELECT TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, CONSTRAINT_CATALOG, "
                           "CONSTRAINT_SCHEMA, CONSTRAINT_NAME FROM INFORMATION_SCHEMA.CONSTRAINT_COLUMN_USAGE",
                           {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME"},
                           {s.r(0), s.r(1), s.r(2), s.r(3)});
    std::vector<Row> out;
    for (auto& r : rows) {
        if (r.size() < 7) continue;
        out.push_back({r[0], r[1], r[2], r[3], Value(), Value(), r[4], r[5], r[6]});
    }
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaConstraintColumnUsage");
}

Recordset viewsRowset(SchemaReader& s) {
    auto fields = columns({{"TABLE_CATALOG", adtype::VarWChar}, {"TABLE_SCHEMA", adtype::VarWChar},
                           {"TABLE_NAME", adtype::VarWChar}, {"VIEW_DEFINITION", adtype::VarWChar},
                           {"CHECK_OPTION", adtype::Boolean}, {"IS_UPDATABLE", adtype::Boolean},
                           {"DESCRIPTION", adtype::VarWChar}, {"DATE_CREATED", adtype::Date},
                           {"DATE_MODIFIED", adtype::Date}});
    auto cat = s.r(0), sch = s.r(1), name = s.r(2);
    auto views = s.tables(cat, sch, name, "VIEW");
    // PostgreSQL's materialized views are views of the database too.
    const bool pg = s.isPostgres();
    if (pg) {
        auto materialized = s.tables(cat, sch, name, "MATVIEW");
        if (!materialized.empty()) {
            views.insert(views.end(), materialized.begin(), materialized.end());
            std::stable_sort(views.begin(), views.end(), [](const SchemaReader::TableRef& a, const SchemaReader::TableRef& b) {
                return std::make_pair(a.schema.toString(), a.name) < std::make_pair(b.schema.toString(), b.name);
            });
        }
    }
    // Definitions and updatability where the engine tells them.
    struct Extra {
        std::string schema;
        Value definition, check, updatable;
    };
    std::multimap<std::string, Extra> extra;
    if (!views.empty()) {
        if (s.dbms().find("sqlite") != std::string::npos) {
            try {
                for (auto& r : s.query("SELECT name, sql FROM sqlite_master WHERE type = 'view'", {}))
                    if (r.size() >= 2) extra.insert({r[0].toString(), {std::string(), r[1], Value(), Value()}});
            } catch (const Error&) {
            }
        } else {
            try {
                for (auto& r : infoSchema(s,
                                          pg ? "SELECT * FROM (SELECT table_schema, table_name, view_definition, "
                                               "check_option::text, is_updatable::text FROM information_schema.views "
                                               "UNION ALL SELECT schemaname, matviewname, definition, 'NONE', 'NO' "
                                               "FROM pg_catalog.pg_matviews) v"
                                             : "SELECT TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, IS_UPDATABLE "
                                               "FROM INFORMATION_SCHEMA.VIEWS",
                                          {"TABLE_NAME"}, {name})) {
                    if (r.size() < 5) continue;
                    const std::string check = text::lower(r[3].toString());
                    const Value checkOption = r[3].isNull() ? Value() : Value(!check.empty() && check != "none");
                    const Value updatable = r[4].isNull() ? Value() : Value(text::lower(r[4].toString()) == "yes");
                    extra.insert({r[1].toString(), {r[0].toString(), r[2], checkOption, updatable}});
                }
            } catch (const Error&) {
            }
        }
    }
    std::vector<Row> out;
    for (auto& v : views) {
        Row row(fields.size());
        row[0] = v.catalog;
        row[1] = v.schema;
        row[2] = Value(v.name);
        auto [lo, hi] = extra.equal_range(v.name);
        const Extra* pick = nullptr;
        int count = 0;
        for (auto it = lo; it != hi; ++it, ++count)
            if (it->second.schema.empty() || it->second.schema == v.schema.toString() ||
                it->second.schema == v.catalog.toString())
                pick = &it->second;
        if (!pick && count == 1) pick = &lo->second;
        if (pick) {
            row[3] = pick->definition;
            row[4] = pick->check;
            row[5] = pick->updatable;
        }
        out.push_back(std::move(row));
    }
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaViews");
}

// The columns a MariaDB/MySQL view definition uses. The server keeps the definition with every
// name backquoted and qualified: a column is `database`.`table`.`column`, or `alias`.`column`
// where the FROM clause has `database`.`table` `alias`, or `view`.`column` where it has
// `database`.`view` with no alias. Columns of another database's tables are left out, as their
// foreign keys are.
std::vector<Row> myViewColumnUsage(SchemaReader& s, const Restriction& cat, const Restriction& name) {
    const std::vector<Row> views =
        infoSchema(s, "SELECT TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION FROM INFORMATION_SCHEMA.VIEWS",
                   {"TABLE_SCHEMA", "TABLE_NAME"}, {cat, name}, 0);
    // A dotted run of backquoted names outside strings, where it ends, and what follows it.
    struct Run {
        std::vector<std::string> names;
        size_t begin = 0, end = 0;
        char next = 0;
    };
    std::vector<Row> out;
    for (const Row& v : views) {
        if (v.size() < 3) continue;
        const std::string database = v[0].toString(), view = v[1].toString(), sql = v[2].toString();
        std::vector<Run> runs;
        std::string n;
        for (size_t i = 0; i < sql.size();) {
            const size_t at = i;
            if (myToken(sql, i, n)) {
                if (runs.empty() || runs.back().end != at) runs.push_back({{}, at});
                runs.back().names.push_back(n);
                // A dot joins the next name to the run.
                runs.back().end = i < sql.size() && sql[i] == '.' && i + 1 < sql.size() && sql[i + 1] == '`' ? i + 1 : i;
                if (runs.back().end == i + 1) ++i;
                size_t j = i;
                while (j < sql.size() && sql[j] == ' ') ++j;
                runs.back().next = j < sql.size() ? sql[j] : 0;
            }
        }
        // Tables with an alias: `database`.`table` followed by `alias` with only blanks between.
        std::map<std::string, std::pair<std::string, std::string>> aliases;
        std::vector<bool> isTable(runs.size());
        for (size_t k = 0; k + 1 < runs.size(); ++k) {
            const Run &r = runs[k], &a = runs[k + 1];
            if (r.names.size() != 2 || r.next == '(' || a.names.size() != 1) continue;
            if (sql.find_first_not_of(' ', r.end) != a.begin) continue;
            aliases[a.names[0]] = {r.names[0], r.names[1]};
            isTable[k] = true;
        }
        // A table or view without an alias follows FROM or JOIN, past any opening parentheses,
        // and its columns are qualified by its own name; a column after the FROM of EXTRACT or
        // TRIM follows FROM too, qualified by such a name.
        auto afterFromOrJoin = [&sql](size_t at) {
            while (at > 0 && (sql[at - 1] == ' ' || sql[at - 1] == '(')) --at;
            size_t word = at;
            while (word > 0 && (std::isalpha(static_cast<unsigned char>(sql[word - 1])) || sql[word - 1] == '_')) --word;
            const std::string w = text::lower(sql.substr(word, at - word));
            return w == "from" || w == "join" || w == "straight_join";
        };
        std::vector<size_t> unaliased;
        std::set<std::string> ownNames;  // of this database's unaliased tables and views
        for (size_t k = 0; k < runs.size(); ++k) {
            const Run& r = runs[k];
            if (isTable[k] || r.names.size() != 2 || r.next == '(' || !afterFromOrJoin(r.begin)) continue;
            unaliased.push_back(k);
            if (r.names[0] == database) ownNames.insert(r.names[1]);
        }
        for (size_t k : unaliased) {
            const Run& r = runs[k];
            if (r.names[0] != database && (ownNames.count(r.names[0]) || aliases.count(r.names[0]))) continue;
            aliases.emplace(r.names[1], std::make_pair(r.names[0], r.names[1]));
            isTable[k] = true;
        }
        std::set<std::pair<std::string, std::string>> used;  // table, column
        for (size_t k = 0; k < runs.size(); ++k) {
            const Run& r = runs[k];
            if (r.next == '(' || isTable[k]) continue;
            if (r.names.size() == 3 && r.names[0] == database) used.emplace(r.names[1], r.names[2]);
            if (r.names.size() != 2) continue;
            auto a = aliases.find(r.names[0]);
            if (a != aliases.end() && a->second.first == database) used.emplace(a->second.second, r.names[1]);
        }
        for (const auto& [table, column] : used)
            out.push_back({Value(database), Value(), Value(view), Value(database), Value(), Value(table), Value(column)});
    }
    return out;
}

Recordset viewColumnUsageRowset(SchemaReader& s) {
    auto fields = columns({{"VIEW_CATALOG", adtype::VarWChar}, {"VIEW_SCHEMA", adtype::VarWChar},
                           {"VIEW_NAME", adtype::VarWChar}, {"TABLE_CATALOG", adtype::VarWChar},
                           {"TABLE_SCHEMA", adtype::VarWChar}, {"TABLE_NAME", adtype::VarWChar},
                           {"COLUMN_NAME", adtype::VarWChar}, {"COLUMN_GUID", adtype::GUID},
                           {"COLUMN_PROPID", adtype::UnsignedInt}});
    // PostgreSQL's VIEW_COLUMN_USAGE shows only the columns of the user's own tables and leaves
    // materialized views out: the columns come from the rewrite rule's dependencies, as that view
    // takes them (a view's from tables, views, foreign and partitioned tables). Its rows come in
    // the order of the plan, which changes with the server's statistics: they are sorted, so
    // that a report reads the same.
    const char* const pgUsage =
        "SELECT * FROM (SELECT DISTINCT pg_catalog.current_database()::text AS view_catalog, "
        "vn.nspname::text AS view_schema, v.relname::text AS view_name, "
        "pg_catalog.current_database()::text, tn.nspname::text, t.relname::text, a.attname::text "
        "FROM pg_catalog.pg_class v JOIN pg_catalog.pg_namespace vn ON vn.oid = v.relnamespace "
        "JOIN pg_catalog.pg_rewrite r ON r.ev_class = v.oid "
        "JOIN pg_catalog.pg_depend d ON d.objid = r.oid AND d.classid = 'pg_catalog.pg_rewrite'::regclass "
        "AND d.refclassid = 'pg_catalog.pg_class'::regclass AND d.refobjsubid > 0 "
        "JOIN pg_catalog.pg_class t ON t.oid = d.refobjid AND t.oid <> v.oid "
        "JOIN pg_catalog.pg_namespace tn ON tn.oid = t.relnamespace "
        "JOIN pg_catalog.pg_attribute a ON a.attrelid = t.oid AND a.attnum = d.refobjsubid "
        "WHERE v.relkind = 'm' OR v.relkind = 'v' AND t.relkind IN ('r', 'v', 'f', 'p')) u";
    // MariaDB has no VIEW_COLUMN_USAGE: the columns come from the definitions.
    auto rows = s.isMySql() ? myViewColumnUsage(s, s.r(0), s.r(2))
                            : infoSchema(s,
                                         s.isPostgres() ? pgUsage
                                                        : "SELECT VIEW_CATALOG, VIEW_SCHEMA, VIEW_NAME, TABLE_CATALOG, "
                                                          "TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME FROM "
                                                          "INFORMATION_SCHEMA.VIEW_COLUMN_USAGE",
                                         {"VIEW_CATALOG", "VIEW_SCHEMA", "VIEW_NAME"}, {s.r(0), s.r(1), s.r(2)}, -1,
                                         s.isPostgres() ? " ORDER BY 2, 3, 5, 6, 7" : "");
    for (auto& r : rows) r.resize(fields.size());
    return Recordset::fromRows(std::move(fields), std::move(rows), "adSchemaViewColumnUsage");
}

Recordset catalogsRowset(SchemaReader& s) {
    auto fields = columns({{"CATALOG_NAME", adtype::VarWChar}, {"DESCRIPTION", adtype::VarWChar}});
    std::string all = SQL_ALL_CATALOGS;
    auto rows = s.call([&](SQLHSTMT st) {
        return SQLTables(st, reinterpret_cast<SQLCHAR*>(all.data()), SQL_NTS, reinterpret_cast<SQLCHAR*>(const_cast<char*>("")), 0,
                         reinterpret_cast<SQLCHAR*>(const_cast<char*>("")), 0, nullptr, 0);
    });
    auto name = s.r(0);
    std::vector<Row> out;
    for (auto& r : rows) {
        if (r.empty() || r[0].isNull()) continue;
        if (name && r[0].toString() != *name) continue;
        out.push_back({r[0], r.size() > 4 ? r[4] : Value()});
    }
    return Recordset::fromRows(std::move(fields), std::move(out), "adSchemaCatalogs");
}

}  // namespace

bool Connection::readsWholeCatalogue(SchemaEnum schema) const {
    d_->requireOpen();
    if (schema != adSchemaPrimaryKeys && schema != adSchemaIndexes && schema != adSchemaForeignKeys) return false;
    const std::vector<Value> none;
    SchemaReader s(d_, none);
    return bulkEngine(s) != Bulk::None;
}

Recordset Connection::openSchema(SchemaEnum schema, const std::vector<Value>& restrictions) {
    d_->errors.clear();
    d_->requireOpen();
    SchemaReader s(d_, restrictions);
    switch (schema) {
    case adSchemaCatalogs: return catalogsRowset(s);
    case adSchemaColumns: return columnsRowset(s);
    case adSchemaCheckConstraints: return checkConstraintsRowset(s);
    case adSchemaConstraintColumnUsage: return constraintColumnUsageRowset(s);
    case adSchemaIndexes: return indexesRowset(s);
    case adSchemaTables: return tablesRowset(s);
    case adSchemaProviderTypes: return providerTypesRowset(s);
    case adSchemaViews: {
        Recordset r = viewsRowset(s);
        d_->errors.clear();
        return r;
    }
    case adSchemaViewColumnUsage: return viewColumnUsageRowset(s);
    case adSchemaForeignKeys: return foreignKeysRowset(s);
    case adSchemaPrimaryKeys: return primaryKeysRowset(s);
    }
    throw s.notSupported();
}

void Connection::openSchema(SchemaEnum schema, const std::vector<Value>& restrictions, std::size_t rows,
                            const std::function<void(Recordset&)>& part) {
    if (schema != adSchemaColumns) {
        Recordset r = openSchema(schema, restrictions);
        part(r);
        return;
    }
    d_->errors.clear();
    d_->requireOpen();
    SchemaReader s(d_, restrictions);
    columnsRowset(s, std::max<std::size_t>(rows, 1), part);
}

}  // namespace db
