// Internal to the data layer: what the schema rowsets share with each engine's catalogue reading.
#pragma once

#include "platform/db/Connection.h"
#include "platform/db/OdbcSupport.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace db::schema {

using Row = std::vector<Value>;
using Restriction = std::optional<std::string>;

using odbc::ok;

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
        describe(cur, stmt);
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
        describe(cur, stmt);
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

    // SQLTables' rows of the type ("" for every type but the system tables). Inside a
    // CatalogueRead, PostgreSQL's and MariaDB's are read once, of every type, and the type is left
    // to the caller: both drivers list a table under its type as when asked for that type.
    std::vector<Row> tableRows(const Restriction& cat, const Restriction& sch, const Restriction& pat,
                               std::string type) {
        const bool shared = c_->catalogueReads > 0 && (isPostgres() || isMySql()) &&
                            (type.empty() || type == "TABLE" || type == "VIEW" || type == "MATVIEW");
        auto read = [&] {
            return call([&](SQLHSTMT s) {
                return SQLTables(s, arg(cat), len(cat), arg(sch), len(sch), arg(pat), len(pat),
                                 type.empty() || shared ? nullptr : reinterpret_cast<SQLCHAR*>(type.data()),
                                 type.empty() || shared ? 0 : SQL_NTS);
            });
        };
        if (!shared) return read();
        auto text = [](const Restriction& r) { return r ? '+' + *r : std::string("-"); };
        return sharedRows("SQLTables\x1f" + text(cat) + '\x1f' + text(sch) + '\x1f' + text(pat), read);
    }

    // The rows of a query that several rowsets need, read once inside a CatalogueRead.
    std::vector<Row> sharedQuery(const std::string& sql, const std::vector<std::string>& params) {
        auto read = [&] { return query(sql, params); };
        if (c_->catalogueReads == 0) return read();
        std::string key = sql;
        for (const std::string& p : params) key += '\x1f' + p;
        return sharedRows(key, read);
    }

    template <class Read>
    const std::vector<Row>& sharedRows(const std::string& key, Read read) {
        auto it = c_->sharedRows.find(key);
        if (it == c_->sharedRows.end()) it = c_->sharedRows.emplace(key, read()).first;
        return it->second;
    }

    std::vector<TableRef> tables(const Restriction& cat, const Restriction& sch, const Restriction& name,
                                 const char* type) {
        Restriction pat = name ? Restriction(pattern(*name)) : std::nullopt;
        auto rows = tableRows(cat, sch, pat, type);
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
    // Makes cur the cursor of the executed statement.
    void describe(StatementCursor& cur, SQLHSTMT stmt) {
        cur.conn = c_;
        cur.stmt = stmt;
        cur.generation = c_->generation;
        cur.describe();
    }

    std::shared_ptr<ConnectionImpl> c_;
    const std::vector<Value>& restrictions_;
    std::string escape_;
};

// Appends " AND column = ?" to sql, and the value to params, for each restriction given.
void bindEquals(std::string& sql, std::vector<std::string>& params,
                std::initializer_list<std::pair<const char*, Restriction>> restrictions);

// Whether two values give the same text, without copying text values.
bool sameText(const Value& a, const Value& b);

// The query with every "%s" replaced by clause.
std::string withClause(std::string sql, const std::string& clause);

// What the engine's own catalogue says of a column where the driver's SQLColumns row is unreliable:
// type names, sizes of unbounded types, scales, nullability, defaults.
struct ColumnFacts {
    std::string typeName;
    Value charLength, numericPrecision, numericScale;
    Value datetimePrecision;  // fraction digits of a date or time type, where the driver's are wrong
    std::optional<bool> nullable;
    std::optional<Value> columnDefault;
    bool precisionKnown = false;  // numericPrecision and numericScale replace the driver's
    bool defaultOnly = false;     // only columnDefault replaces the driver's
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

inline std::string columnFactsKey(const std::string& owner, const std::string& table) { return owner + '\x1f' + table; }

// SQLite (SchemaSqlite.cpp).

// "DECIMAL(5,2)" -> DECIMAL, 5, 2; "VARCHAR(40)" -> VARCHAR, 40; "TEXT" -> TEXT.
void parseDeclaredType(const std::string& declared, ColumnFacts& f);

// What the driver gets wrong of the restricted table's columns (of every table's without it):
// a default loses its quotes, an INTEGER PRIMARY KEY (the rowid, never NULL) is called nullable.
ColumnFactsMap sqliteColumnFactsOf(SchemaReader& s, const Restriction& table);

// The rows of the SQLite3 ODBC driver's SQLColumns, made from one pragma query.
namespace sqlitecolumns {

// How this connection's column rows are made (see ConnectionImpl::sqliteColumns): 0 by the
// driver, 1 from the query, 2 from the query with INTEGER columns as BIGINT.
int mode(SchemaReader& s);

// Hands over the driver's rows of every table and view (or of the one restricted to) in the
// driver's order, each with its facts.
void each(SchemaReader& s, const Restriction& table, bool bigint,
          const std::function<void(Row&, const ColumnFacts&)>& take);

}  // namespace sqlitecolumns

// Keys, indexes and foreign keys from the engine's pragmas, in the rows and order of the ODBC
// catalogue functions.
namespace sqlite {

// The rows of SQLPrimaryKeys and of SQLStatistics for every table or the one restricted to
// (keys only: no statistics).
struct KeysAndStatistics {
    std::vector<Row> keys, statistics;
};

// keyColumns, when given, are the key column rows of every table (table not restricted to).
KeysAndStatistics keysAndStatistics(SchemaReader& s, const Restriction& table, bool keysOnly = false,
                                    const std::vector<Row>* keyColumns = nullptr);

// The keys and statistics of every table; with keep, what is read stays for the next call
// (while the schema version holds); without, what was kept is handed out and dropped.
KeysAndStatistics wholeKeysAndStatistics(SchemaReader& s, bool keep);

std::optional<std::vector<Row>> primaryKeys(SchemaReader& s);

// SQLForeignKeys: the foreign keys of every table or of the tables referring to the restricted one.
std::vector<Row> foreignKeys(SchemaReader& s, const Restriction& referenced, const Restriction& referencing);

std::optional<std::vector<Row>> allForeignKeys(SchemaReader& s);

// The CHECK constraints of every table (named name, when given), read from its CREATE text: a
// row of the check-constraints rowset for each column a check is on.
std::vector<Row> checkConstraints(SchemaReader& s, const Restriction& name);

}  // namespace sqlite

// PostgreSQL (SchemaPostgres.cpp).

// The facts of the restricted schema's and table's columns (of every one's without them).
ColumnFactsMap pgColumnFactsOf(SchemaReader& s, const Restriction& schema, const Restriction& table);

namespace pgcolumns {

// Hands over the driver's SQLColumns rows of every table and view, or of those of one schema,
// made from the catalogue, each with its facts (nullptr where the driver's row is right as it
// is). False, with nothing handed over, when the engine refuses the query or it finds nothing
// (the driver is then asked).
bool each(SchemaReader& s, const Restriction& schema, const std::function<void(Row&, const ColumnFacts*)>& take);

}  // namespace pgcolumns

// Whole-database queries in the rows and order of the driver's catalogue functions, each
// ending in WHERE true for restrictions to follow, and the order each ends with.
extern const char* const pgPrimaryKeys;
extern const char* const pgPrimaryKeysOrder;
extern const char* const pgStatistics;  // %s: see pgStatisticsSql
extern const char* const pgStatisticsOrder;
extern const char* const pgForeignKeys;
extern const char* const pgForeignKeysOrder;
// The checks, the views with their definitions and the columns views use, from the catalogue.
extern const char* const pgCheckConstraints;
extern const char* const pgViews;
extern const char* const pgViewColumnUsage;

// PostgreSQL's statistics query for this server.
std::string pgStatisticsSql(SchemaReader& s);

// A PostgreSQL array literal of names, for "= ANY (?::name[])".
std::string pgNameArray(const std::set<std::string>& names);

// Drops from PostgreSQL key rows (their oid last) the server's copies for partitions.
void dropPartitionKeyCopies(SchemaReader& s, std::vector<Row>& rows);

// PostgreSQL keys of the restricted tables by the whole-database query; nullopt when it fails.
std::optional<std::vector<Row>> pgForeignKeysOf(SchemaReader& s, const Restriction& pkSchema, const Restriction& pkTable,
                                                const Restriction& fkSchema, const Restriction& fkTable);

// MariaDB/MySQL (SchemaMariaDb.cpp).

// The facts of the columns of the database's restricted table (of every table's without it);
// the current database where none is given.
ColumnFactsMap myColumnFactsOf(SchemaReader& s, const Restriction& catalog, const Restriction& table);

// Whole-database queries as the PostgreSQL ones above.
extern const char* const myPrimaryKeys;
extern const char* const myPrimaryKeysOrder;
extern const char* const myStatistics;
extern const char* const myStatisticsOrder;
extern const char* const myForeignKeys;
// The checks, with the table and, for a column's check, the column each is on.
extern const char* const myCheckConstraints;

// Gives each table check of myCheckConstraints' rows a row for every column its clause names.
void placeMyChecks(std::vector<Row>& rows);

// The views of a database (of every one without it): schema, name, definition, check option,
// updatability.
std::vector<Row> myViews(SchemaReader& s, const Restriction& cat);

// The columns the database's views (or the named one) use, as VIEW_COLUMN_USAGE rows.
std::vector<Row> myViewColumnUsage(SchemaReader& s, const Restriction& cat, const Restriction& name);

}  // namespace db::schema
