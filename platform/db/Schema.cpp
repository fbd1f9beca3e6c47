// Schema rowsets built from the ODBC catalogue functions and, where ODBC has none, from the
// engine's INFORMATION_SCHEMA views; each engine's own catalogue reading is in its Schema*.cpp.
#include "platform/db/SchemaEngines.h"

#include <map>
#include <tuple>

namespace db {

namespace schema {

void bindEquals(std::string& sql, std::vector<std::string>& params,
                std::initializer_list<std::pair<const char*, Restriction>> restrictions) {
    for (const auto& [column, value] : restrictions) {
        if (!value) continue;
        sql += std::string(" AND ") + column + " = ?";
        params.push_back(*value);
    }
}

bool sameText(const Value& a, const Value& b) {
    return a.kind() == ValueKind::Text ? b.readsAs(a.bytes()) : a.readsAs(b.toString());
}

std::string withClause(std::string sql, const std::string& clause) {
    for (size_t at; (at = sql.find("%s")) != std::string::npos;) sql.replace(at, 2, clause);
    return sql;
}

}  // namespace schema

namespace {

using namespace schema;

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
    auto rows = s.tableRows(cat, sch, pat, "");
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

// Facts of the restricted table (or of every table), nullopt for other engines or when the
// engine refuses the query.
std::optional<ColumnFactsMap> columnFacts(SchemaReader& s, const Restriction& cat, const Restriction& sch,
                                          const Restriction& table) {
    try {
        if (s.isPostgres()) return pgColumnFactsOf(s, sch, table);
        if (s.isMySql()) return myColumnFactsOf(s, cat, table);
        if (s.isSqlite()) return sqliteColumnFactsOf(s, table);
    } catch (const Error&) {
    }
    return std::nullopt;
}

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
    // Every PostgreSQL column at once: its rows are made from the catalogue (pgcolumns).
    const bool pgRows = !sqliteRows && !cat && !table && !column && s.isPostgres();
    std::optional<ColumnFactsMap> facts;  // read below, unless the rows are made here
    bool pg = false;
    const bool sqlite = !pgRows && s.isSqlite();
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
        if (found && found->defaultOnly) {
            row[8] = *found->columnDefault;
        } else if (found) {
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
    if (sqliteRows) {
        sqlitecolumns::each(s, table, sqliteRows == 2, [&](Row& r, const ColumnFacts& f) { take(r, &f); });
    } else if (!pgRows || !pgcolumns::each(s, sch, [&](Row& r, const ColumnFacts* f) { take(r, f); })) {
        facts = columnFacts(s, cat, sch, table);
        pg = facts && s.isPostgres();
        s.each(
            [&](SQLHSTMT st) {
                return SQLColumns(st, SchemaReader::arg(cat), SchemaReader::len(cat), SchemaReader::arg(sch),
                                  SchemaReader::len(sch), SchemaReader::arg(tpat), SchemaReader::len(tpat),
                                  SchemaReader::arg(cpat), SchemaReader::len(cpat));
            },
            take);
    }
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
        rows = infoSchema(s, pgCheckConstraints, restrictColumns, {s.r(0), s.r(1), s.r(2)}, -1, " ORDER BY 6, 7, 8, 3");
        read = true;
    } else if (s.isSqlite()) {
        rows = sqlite::checkConstraints(s, s.r(2));
        read = true;
    } else if (s.isMySql()) {
        try {
            rows = infoSchema(s, myCheckConstraints, restrictColumns, {s.r(0), s.r(1), s.r(2)}, 1);
            read = true;
            placeMyChecks(rows);
        } catch (const Error&) {
        }
    }
    if (!read)
        rows = infoSchema(s,
                          R"sql(
SELECT CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, CHECK_CLAUSE
FROM INFORMATION_SCHEMA.CHECK_CONSTRAINTS)sql",
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
                           R"sql(
SELECT TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME
FROM INFORMATION_SCHEMA.CONSTRAINT_COLUMN_USAGE)sql",
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
                std::vector<Row> rows;
                if (pg) {
                    // Of the listed views' schemas only: each definition costs the server a deparse.
                    std::string sql = pgViews;
                    std::vector<std::string> params;
                    bindEquals(sql, params, {{"table_name", name}});
                    std::set<std::string> schemas;
                    for (const auto& v : views) schemas.insert(v.schema.toString());
                    sql += " AND table_schema = ANY (?::name[])";
                    params.push_back(pgNameArray(schemas));
                    rows = s.query(sql, params);
                } else {
                    rows = myViews(s, cat);
                }
                for (auto& r : rows) {
                    if (r.size() < 5 || (name && r[1].toString() != *name)) continue;
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

Recordset viewColumnUsageRowset(SchemaReader& s) {
    auto fields = columns({{"VIEW_CATALOG", adtype::VarWChar}, {"VIEW_SCHEMA", adtype::VarWChar},
                           {"VIEW_NAME", adtype::VarWChar}, {"TABLE_CATALOG", adtype::VarWChar},
                           {"TABLE_SCHEMA", adtype::VarWChar}, {"TABLE_NAME", adtype::VarWChar},
                           {"COLUMN_NAME", adtype::VarWChar}, {"COLUMN_GUID", adtype::GUID},
                           {"COLUMN_PROPID", adtype::UnsignedInt}});
    // PostgreSQL's rows come in the order of the plan, which changes with the server's
    // statistics: they are sorted, so that a report reads the same.
    // MariaDB has no VIEW_COLUMN_USAGE: the columns come from the definitions.
    auto rows = s.isMySql() ? myViewColumnUsage(s, s.r(0), s.r(2))
                            : infoSchema(s,
                                         s.isPostgres() ? pgViewColumnUsage : R"sql(
SELECT VIEW_CATALOG, VIEW_SCHEMA, VIEW_NAME, TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME
FROM INFORMATION_SCHEMA.VIEW_COLUMN_USAGE)sql",
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
