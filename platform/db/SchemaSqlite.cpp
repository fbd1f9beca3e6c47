// SQLite's schema rowset parts: column rows from one pragma query, keys, indexes and foreign
// keys from the engine's pragmas, and the names only the CREATE text declares.
#include "platform/db/SchemaEngines.h"
#include "platform/db/SqliteDdl.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <set>

namespace db::schema {

namespace {

// SQLite: what the driver gets wrong: a default loses its quotes, an INTEGER PRIMARY KEY (the
// rowid, never NULL) is called nullable. The rows of key columns and of columns with a default.
const char* const sqliteColumnFacts = R"sql(
SELECT m.name, p.name, p.type, p.dflt_value, p.pk
FROM sqlite_master m, pragma_table_info(m.name) p
WHERE m.type = 'table' AND (p.pk > 0 OR p.dflt_value IS NOT NULL))sql";

// The facts of a SQLite column from its table_info type, default and key place, given how many
// key columns its table has: the one INTEGER key column is the rowid, never NULL.
ColumnFacts sqliteFacts(const Value& type, const Value& dflt, long long pk, int keyColumns) {
    ColumnFacts f;
    if (pk > 0 && keyColumns == 1 && text::lower(text::trim(type.toString())) == "integer") f.nullable = false;
    if (!dflt.isNull()) f.columnDefault = dflt;
    return f;
}

// SQLite's schema version, -1 when it cannot be read.
long long sqliteSchemaVersion(SchemaReader& s) {
    const auto rows = s.query("PRAGMA schema_version", {});
    return !rows.empty() && !rows[0].empty() && !rows[0][0].isNull() ? rows[0][0].toInt() : -1;
}

}  // namespace

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

ColumnFactsMap sqliteColumnFactsOf(SchemaReader& s, const Restriction& table) {
    std::vector<std::string> params;
    ColumnFactsMap out;
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

// SQLite's CREATE TABLE text, for what only the text declares.
namespace sqlitesql {

// The statement's tokens; with `at`, where each begins.
std::vector<std::string> tokens(const std::string& sql, std::vector<size_t>* at) {
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

namespace {

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

}  // namespace

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
    auto isConstraint = [&](size_t b) {
        return keyword(t[b], "constraint") || keyword(t[b], "primary") || keyword(t[b], "foreign") ||
               keyword(t[b], "unique") || keyword(t[b], "check");
    };
    // The index of the parenthesis that closes the one at open, e when it is not closed.
    auto closing = [&](size_t open, size_t e) {
        for (int depth = 0; open < e; ++open)
            if (t[open] == "(") ++depth;
            else if (t[open] == ")" && --depth == 0) return open;
        return e;
    };
    auto inside = [&](size_t open, size_t close) { return text::trim(sql.substr(at[open] + 1, at[close] - at[open] - 1)); };
    std::vector<std::string> declared;  // the columns, as written
    for (auto [b, e] : parts)
        if (b < e && !isConstraint(b)) declared.push_back(nameOf(t[b]));
    for (auto [b, e] : parts) {
        if (b >= e) continue;
        std::string name;
        size_t k = b;
        if (isConstraint(b)) {
            if (keyword(t[k], "constraint") && k + 1 < e) {
                name = nameOf(t[k + 1]);
                k += 2;
            }
            if (k < e && keyword(t[k], "primary")) {
                out.primaryKey = name;
            } else if (k < e && keyword(t[k], "foreign")) {
                out.foreignKeys.emplace_back(name, columnList(k, e));
            } else if (k + 1 < e && keyword(t[k], "check") && t[k + 1] == "(") {
                const size_t close = closing(k + 1, e);
                if (close == e) continue;
                // On the columns it names: a name, quoted or not, but no string.
                DeclaredNames::Check check{name, inside(k + 1, close), {}};
                std::set<std::string> named;
                for (size_t i = k + 2; i < close; ++i)
                    if (t[i][0] != '\'') named.insert(text::lower(nameOf(t[i])));
                for (const std::string& c : declared)
                    if (named.count(text::lower(c))) check.columns.push_back(c);
                out.checks.push_back(std::move(check));
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
                const size_t close = closing(k + 1, e);
                if (close < e) out.generated[column] = inside(k + 1, close);
                name.clear();
            } else if (keyword(t[k], "check") && k + 1 < e && t[k + 1] == "(") {
                const size_t close = closing(k + 1, e);
                if (close == e) break;
                out.checks.push_back({name, inside(k + 1, close), {nameOf(t[b])}});
                name.clear();
                k = close;
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

namespace {

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

}  // namespace

// Hands over the driver's rows of every table and view (or of the one restricted to) in the
// driver's order, each with its facts: an INTEGER PRIMARY KEY (the rowid) is never NULL, and a
// default keeps its quotes. Where table_xinfo is known, the generated columns the driver leaves
// out come too, in their place, with their clause as the default (the hidden columns of
// virtual tables stay out). Rows of every table also leave their key columns in the
// connection's catalogue cache, saving the keys a second table_info run.
void each(SchemaReader& s, const Restriction& table, bool bigint,
          const std::function<void(Row&, const ColumnFacts&)>& take) {
    std::string sql = std::string(R"sql(
SELECT m.tbl_name, p.cid, p.name, p.type, p."notnull", p.dflt_value, p.pk, m.type, )sql") +
                      (s.connection().sqliteXinfo ? R"sql(p.hidden, CASE WHEN p.hidden IN (2, 3) THEN m.sql END
FROM sqlite_master m, pragma_table_xinfo(m.tbl_name) p
WHERE (m.type = 'table' OR m.type = 'view') AND p.hidden IN (0, 2, 3))sql"
                                                  : R"sql(0, NULL
FROM sqlite_master m, pragma_table_info(m.tbl_name) p
WHERE (m.type = 'table' OR m.type = 'view'))sql");
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
        auto probe = s.query(R"sql(
SELECT m.tbl_name FROM sqlite_master m, pragma_table_info(m.tbl_name) p
WHERE (m.type = 'table' OR m.type = 'view')
  AND (p.type LIKE 'int%' AND p.type NOT LIKE 'inter%' OR p.type LIKE 'mediumint%')
LIMIT 1)sql",
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

// SQLite: keys, indexes and foreign keys come from the engine's pragmas (table-valued pragma
// functions joined to sqlite_master) for every table at once or for one table, in the rows and
// order of the ODBC catalogue functions. Names that the DDL gives to constraints are in the
// table's SQL text only and are read from it.
namespace sqlite {

using sqlitesql::DeclaredNames;
using sqlitesql::declaredNames;

namespace {

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
    for (auto& r : s.query(forTable(R"sql(
SELECT m.name, m.sql FROM sqlite_master m WHERE m.type = 'table' AND m.sql LIKE '%constraint%'%t)sql",
                                    table, params),
                           params))
        if (r.size() >= 2 && !r[1].isNull()) out.emplace(r[0].toString(), declaredNames(r[1].toString()));
    return out;
}

// Key columns from table_info and index columns from index_list and index_info. Each column
// keeps one kind of value: table, part, position, sequence, column name, text, flag. Part 0 is
// a key column (position cid, sequence pk, text the declared type); part 1 an index column
// (position the index's place in index_list, sequence seqno, text the index name, flag unique).
const char* const keyColumnsPart = R"sql(
SELECT m.name, 0, p.cid, p.pk, p.name, p.type, NULL, NULL, NULL
FROM sqlite_master m, pragma_table_info(m.name) p
WHERE m.type = 'table' AND p.pk <> 0%t)sql";
// Beside: the column's cid (-2 for an expression) and, for a partial index or one with an
// expression, the index's CREATE text.
const char* const indexColumnsPart = R"sql(
SELECT m.name, 1, l.seq, i.seqno, i.name, l.name, l."unique", i.cid,
  CASE WHEN l.partial <> 0 OR i.cid = -2
    THEN (SELECT x.sql FROM sqlite_master x WHERE x.type = 'index' AND x.name = l.name) END
FROM sqlite_master m, pragma_index_list(m.name) l, pragma_index_info(l.name) i
WHERE m.type = 'table'%t)sql";

}  // namespace

KeysAndStatistics keysAndStatistics(SchemaReader& s, const Restriction& table, bool keysOnly,
                                    const std::vector<Row>* keyColumns) {
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
    auto rows = s.query(forTable(R"sql(
SELECT m.name, f.id, f.seq, f."table", f."from", f."to", f.on_update, f.on_delete
FROM sqlite_master m, pragma_foreign_key_list(m.name) f
WHERE m.type = 'table'%t
ORDER BY m.rowid, f.id DESC, f.seq)sql",
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

std::vector<Row> checkConstraints(SchemaReader& s, const Restriction& name) {
    std::vector<Row> out;
    for (auto& r : s.query(R"sql(
SELECT m.name, m.sql FROM sqlite_master m
WHERE m.type = 'table' AND m.sql LIKE '%check%' AND m.sql NOT LIKE 'CREATE VIRTUAL%')sql",
                           {})) {
        if (r.size() < 2 || r[1].isNull()) continue;
        for (const DeclaredNames::Check& c : declaredNames(r[1].toString()).checks) {
            if (name && c.name != *name) continue;
            const Value constraint = c.name.empty() ? Value() : Value(c.name);
            for (const std::string& column : c.columns)
                out.push_back({Value(), Value(), constraint, Value(c.clause), Value(), Value(), r[0], Value(column)});
        }
    }
    return out;
}

}  // namespace sqlite

}  // namespace db::schema
