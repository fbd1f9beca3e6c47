// MariaDB's and MySQL's schema rowset parts: INFORMATION_SCHEMA queries that stand in for the
// driver's catalogue functions, and what the server's stored SQL text tells of checks and views.
#include "platform/db/SchemaEngines.h"

#include <cctype>
#include <map>

namespace db::schema {

namespace {

// COLUMN_TYPE without its size (ENUM and SET keep their values), the nullability the driver
// misreports for AUTO_INCREMENT and TIMESTAMP columns, the fraction digits it leaves out and a
// bit string's width (as its length). Keyed by database. A generated column has its clause in
// place of a default; an AUTO_INCREMENT column has no default. %s stands for the generation
// expression and fraction digits, NULL, NULL where the server has neither.
const char* const myColumnFacts = R"sql(
SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, COLUMN_TYPE,
  CASE WHEN DATA_TYPE = 'bit' THEN NUMERIC_PRECISION ELSE CHARACTER_MAXIMUM_LENGTH END, NUMERIC_PRECISION,
  NUMERIC_SCALE, DATA_TYPE IN ('decimal', 'numeric'), IS_NULLABLE, EXTRA, %s
FROM INFORMATION_SCHEMA.COLUMNS
WHERE true)sql";

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

}  // namespace

ColumnFactsMap myColumnFactsOf(SchemaReader& s, const Restriction& cat, const Restriction& table) {
    std::vector<std::string> params;
    ColumnFactsMap out;
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

// The key's columns in key order, from the table's own PRIMARY KEY constraint (COLUMNS marks as
// PRI the columns of the first NOT NULL unique key of a table without one as well). The server
// names every primary key PRIMARY and refuses the name to other indexes; a foreign key that
// might bear it refers to a table. (Joined to TABLE_CONSTRAINTS, the view costs the server a
// scan per table.)
const char* const myPrimaryKeys = R"sql(
SELECT c.TABLE_SCHEMA, NULL, c.TABLE_NAME, c.COLUMN_NAME, c.ORDINAL_POSITION, 'PRIMARY'
FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE c
WHERE c.CONSTRAINT_NAME = 'PRIMARY' AND c.REFERENCED_TABLE_NAME IS NULL)sql";
const char* const myPrimaryKeysOrder = R"sql( ORDER BY c.TABLE_SCHEMA, c.TABLE_NAME, 5)sql";

// Beside the driver's columns: the primary key's flag, no expression, a column prefix's length.
const char* const myStatistics = R"sql(
SELECT TABLE_SCHEMA, NULL, TABLE_NAME, NON_UNIQUE, NULL, INDEX_NAME, 3, SEQ_IN_INDEX, COLUMN_NAME,
  COLLATION, CARDINALITY, NULL, NULL, CASE WHEN INDEX_NAME = 'PRIMARY' THEN 1 ELSE 0 END, NULL, SUB_PART
FROM INFORMATION_SCHEMA.STATISTICS
WHERE true)sql";
const char* const myStatisticsOrder = R"sql( ORDER BY TABLE_SCHEMA, TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX)sql";

// Keys referring to a primary key, a unique key or any indexed columns (the driver's own rows
// have only the first), their rules as the driver's codes. The joined view is a DISTINCT derived
// table (each row is unique already): the server then looks its rows up by key instead of
// scanning the view for every key column. A user the server hides a key's rules from still gets
// the key, its rules unknown.
const char* const myForeignKeys = R"sql(
SELECT A.REFERENCED_TABLE_SCHEMA, NULL, A.REFERENCED_TABLE_NAME, A.REFERENCED_COLUMN_NAME,
  A.TABLE_SCHEMA, NULL, A.TABLE_NAME, A.COLUMN_NAME, A.ORDINAL_POSITION,
  CASE RC.UPDATE_RULE WHEN 'RESTRICT' THEN 1 WHEN 'NO ACTION' THEN 3 WHEN 'CASCADE' THEN 0
    WHEN 'SET NULL' THEN 2 WHEN 'SET DEFAULT' THEN 4 END,
  CASE RC.DELETE_RULE WHEN 'RESTRICT' THEN 1 WHEN 'NO ACTION' THEN 3 WHEN 'CASCADE' THEN 0
    WHEN 'SET NULL' THEN 2 WHEN 'SET DEFAULT' THEN 4 END,
  A.CONSTRAINT_NAME, RC.UNIQUE_CONSTRAINT_NAME, 7
FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE A
LEFT JOIN (SELECT DISTINCT CONSTRAINT_SCHEMA, TABLE_NAME, CONSTRAINT_NAME, UNIQUE_CONSTRAINT_NAME,
             UPDATE_RULE, DELETE_RULE
           FROM INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS) RC
  ON RC.CONSTRAINT_NAME = A.CONSTRAINT_NAME AND RC.TABLE_NAME = A.TABLE_NAME
  AND RC.CONSTRAINT_SCHEMA = A.TABLE_SCHEMA
WHERE A.REFERENCED_TABLE_NAME IS NOT NULL)sql";

// MariaDB names a column's check after its column and keeps no constraint-column usage.
// (Servers without LEVEL take the plain query.)
const char* const myCheckConstraints = R"sql(
SELECT * FROM (
  SELECT CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, CHECK_CLAUSE, NULL,
    NULL AS T_SCHEMA, TABLE_NAME AS T_NAME,
    CASE WHEN LEVEL = 'Column' THEN CONSTRAINT_NAME END AS C_NAME
  FROM INFORMATION_SCHEMA.CHECK_CONSTRAINTS) c)sql";

namespace {

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

}  // namespace

// A table's check is on the columns its clause names (the server writes them backquoted), as
// PostgreSQL gives a check on several columns.
void placeMyChecks(std::vector<Row>& rows) {
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
}

// The views rowset and the one of their columns both read them.
std::vector<Row> myViews(SchemaReader& s, const Restriction& cat) {
    std::string sql = R"sql(
SELECT TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, IS_UPDATABLE
FROM INFORMATION_SCHEMA.VIEWS
WHERE true)sql";
    std::vector<std::string> params;
    bindEquals(sql, params, {{"TABLE_SCHEMA", cat && !cat->empty() ? cat : Restriction()}});
    return s.sharedQuery(sql, params);
}

// The columns a MariaDB/MySQL view definition uses. The server keeps the definition with every
// name backquoted and qualified: a column is `database`.`table`.`column`, or `alias`.`column`
// where the FROM clause has `database`.`table` `alias`, or `view`.`column` where it has
// `database`.`view` with no alias. Columns of another database's tables are left out, as their
// foreign keys are.
std::vector<Row> myViewColumnUsage(SchemaReader& s, const Restriction& cat, const Restriction& name) {
    std::vector<Row> views = myViews(s, cat ? cat : Restriction(s.currentCatalog()));
    if (name) std::erase_if(views, [&name](const Row& v) { return v.size() < 2 || v[1].toString() != *name; });
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

}  // namespace db::schema
