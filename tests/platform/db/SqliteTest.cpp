// The data layer against real SQLite databases through the Debian SQLite3 ODBC driver.
#include "DbTestSupport.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/OdbcSupport.h"
#include "platform/db/SqliteDdl.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace db;

namespace {

long errorNumberOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

std::vector<std::string> columnValues(Recordset rs, const char* name) {
    std::vector<std::string> out;
    for (; !rs.eof(); rs.moveNext()) out.push_back(rs[name].toString());
    return out;
}

class SqliteDb : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("shop.db");
        conn.open("Driver=SQLite3;Database=" + quoteConnectionValue(path));
        for (const char* sql : {
                 "CREATE TABLE customers (id INTEGER PRIMARY KEY, name VARCHAR(50) NOT NULL, email VARCHAR(80), "
                 "created_on TIMESTAMP, balance NUMERIC(10,2) DEFAULT 0)",
                 "CREATE UNIQUE INDEX ux_email ON customers(email, name)",
                 "CREATE INDEX ix_name ON customers(name)",
                 "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer_id INTEGER REFERENCES customers(id) "
                 "ON DELETE CASCADE, note TEXT)",
                 "CREATE TABLE \"it's\" (x INT)",
                 "CREATE TABLE a_b (ab INT)",
                 "CREATE TABLE axb (xb INT)",
                 "CREATE TABLE counters (id INTEGER PRIMARY KEY AUTOINCREMENT)",
                 "CREATE VIEW v_customers AS SELECT id, name FROM customers"})
            conn.execute(sql);
    }
    testsupport::TempDir dir;
    std::string path;
    Connection conn;
};

}  // namespace

TEST_F(SqliteDb, TablesRowsetListsTablesOnlyAndHonoursExactNames) {
    Recordset rs = conn.openSchema(adSchemaTables, {Value(), Value(), Value(), "TABLE"});
    auto names = columnValues(std::move(rs), "TABLE_NAME");
    std::set<std::string> got(names.begin(), names.end());
    EXPECT_EQ(got, (std::set<std::string>{"customers", "orders", "it's", "a_b", "axb", "counters"}));
    // AUTOINCREMENT creates sqlite_sequence: a system table, not one of the user's.
    auto system = columnValues(conn.openSchema(adSchemaTables, {Value(), Value(), Value(), "SYSTEM TABLE"}),
                               "TABLE_NAME");
    EXPECT_EQ(system, std::vector<std::string>{"sqlite_sequence"});

    // '_' is a wildcard for the driver; the restriction still matches the one table.
    auto one = columnValues(conn.openSchema(adSchemaTables, {Value(), Value(), "a_b", "TABLE"}), "TABLE_NAME");
    EXPECT_EQ(one, std::vector<std::string>{"a_b"});
    auto cols = columnValues(conn.openSchema(adSchemaColumns, {Value(), Value(), "a_b"}), "COLUMN_NAME");
    EXPECT_EQ(cols, std::vector<std::string>{"ab"});
    auto quoted = columnValues(conn.openSchema(adSchemaColumns, {Value(), Value(), "it's"}), "COLUMN_NAME");
    EXPECT_EQ(quoted, std::vector<std::string>{"x"});
}

TEST_F(SqliteDb, ColumnsRowsetCarriesTypesLengthsAndNullability) {
    Recordset rs = conn.openSchema(adSchemaColumns, {Value(), Value(), "customers"});
    ASSERT_EQ(rs.recordCount(), 5);
    EXPECT_EQ(rs["COLUMN_NAME"].toString(), "id");
    EXPECT_EQ(rs["ORDINAL_POSITION"].toInt(), 1);
    rs.moveNext();
    EXPECT_EQ(rs["COLUMN_NAME"].toString(), "name");
    EXPECT_EQ(rs["DATA_TYPE"].toInt(), adtype::VarChar);
    EXPECT_EQ(rs["CHARACTER_MAXIMUM_LENGTH"].toInt(), 50);
    EXPECT_TRUE(rs["NUMERIC_PRECISION"].isNull());
    EXPECT_EQ(rs["IS_NULLABLE"], Value(false));
    rs.moveNext();
    EXPECT_EQ(rs["IS_NULLABLE"], Value(true));
    rs.moveNext();
    EXPECT_EQ(rs["COLUMN_NAME"].toString(), "created_on");
    EXPECT_EQ(rs["DATA_TYPE"].toInt(), adtype::DBTimeStamp);
    EXPECT_FALSE(rs["DATETIME_PRECISION"].isNull());
    rs.moveNext();
    // The driver reports NUMERIC as a floating type.
    EXPECT_FALSE(rs["NUMERIC_PRECISION"].isNull());
    EXPECT_EQ(rs["COLUMN_DEFAULT"].toString(), "0");
    EXPECT_EQ(rs["COLUMN_HASDEFAULT"], Value(true));
}

TEST_F(SqliteDb, ColumnsRowsetInPartsIsTheWholeRowset) {
    std::vector<std::vector<std::string>> joined;
    int parts = 0;
    conn.openSchema(adSchemaColumns, {}, 3, [&](Recordset& part) {
        ++parts;
        EXPECT_LE(part.recordCount(), 3);
        EXPECT_GT(part.recordCount(), 0);
        for (auto& row : dbtest::rowsOf(std::move(part))) joined.push_back(std::move(row));
    });
    const auto whole = dbtest::rowsOf(conn.openSchema(adSchemaColumns));
    EXPECT_EQ(parts, static_cast<int>((whole.size() + 2) / 3));
    EXPECT_EQ(joined, whole);
    // Nothing to hand over: one empty part, which still names the fields.
    parts = 0;
    conn.openSchema(adSchemaColumns, {Value(), Value(), "nosuch"}, 3, [&](Recordset& part) {
        ++parts;
        EXPECT_TRUE(part.eof());
        EXPECT_TRUE(part.fieldIndex("COLUMN_NAME"));
    });
    EXPECT_EQ(parts, 1);
}

TEST_F(SqliteDb, EveryColumnTypeHasAProviderType) {
    Recordset types = conn.openSchema(adSchemaProviderTypes);
    std::set<long long> codes;
    for (; !types.eof(); types.moveNext()) {
        EXPECT_FALSE(types["TYPE_NAME"].toString().empty());
        codes.insert(types["DATA_TYPE"].toInt());
    }
    Recordset cols = conn.openSchema(adSchemaColumns, {Value(), Value(), "customers"});
    for (; !cols.eof(); cols.moveNext()) EXPECT_TRUE(codes.count(cols["DATA_TYPE"].toInt())) << cols["COLUMN_NAME"].toString();
    Recordset ints = conn.openSchema(adSchemaProviderTypes, {Value(adtype::Integer)});
    ASSERT_FALSE(ints.eof());
    for (; !ints.eof(); ints.moveNext()) EXPECT_EQ(ints["DATA_TYPE"].toInt(), adtype::Integer);
}

TEST_F(SqliteDb, KeysAndIndexes) {
    Recordset pk = conn.openSchema(adSchemaPrimaryKeys, {Value(), Value(), "customers"});
    ASSERT_FALSE(pk.eof());
    EXPECT_EQ(pk["COLUMN_NAME"].toString(), "id");
    EXPECT_EQ(pk.recordCount(), 1);

    Recordset ix = conn.openSchema(adSchemaIndexes, {Value(), Value(), Value(), Value(), "customers"});
    // Indexes that exist (the INTEGER key is the rowid and has none), columns in key order.
    std::vector<std::string> seen;
    for (; !ix.eof(); ix.moveNext()) {
        const std::string name = ix["INDEX_NAME"].toString();
        seen.push_back(name + ":" + ix["COLUMN_NAME"].toString());
        EXPECT_EQ(ix["UNIQUE"], Value(name != "ix_name"));
        EXPECT_EQ(ix["PRIMARY_KEY"], Value(ix["COLUMN_NAME"].toString() == "id")) << name;
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.back(), "ix_name:name");
    auto at = std::find(seen.begin(), seen.end(), "ux_email:email");
    ASSERT_NE(at, seen.end());
    EXPECT_EQ(*(at + 1), "ux_email:name");

    // The table as referenced table: the rows name the referencing table.
    Recordset fk = conn.openSchema(adSchemaForeignKeys, {Value(), Value(), "customers"});
    ASSERT_EQ(fk.recordCount(), 1);
    EXPECT_EQ(fk["PK_TABLE_NAME"].toString(), "customers");
    EXPECT_EQ(fk["PK_COLUMN_NAME"].toString(), "id");
    EXPECT_EQ(fk["FK_TABLE_NAME"].toString(), "orders");
    EXPECT_EQ(fk["FK_COLUMN_NAME"].toString(), "customer_id");
    EXPECT_EQ(fk["DELETE_RULE"].toString(), "CASCADE");
    EXPECT_EQ(fk["UPDATE_RULE"].toString(), "NO ACTION");
    EXPECT_EQ(conn.openSchema(adSchemaForeignKeys, {Value(), Value(), "orders"}).recordCount(), 0);
    EXPECT_EQ(conn.openSchema(adSchemaForeignKeys).recordCount(), 1);
}

using dbtest::rowsOf;

// Keys, indexes and foreign keys of the whole database come from one query each over the
// engine's pragmas; they must be the rows the driver's catalogue functions give table by table,
// in table order, quirks included.
TEST_F(SqliteDb, WholeDatabaseRowsetsEqualPerTableRowsets) {
    for (const char* sql : {
             // Key declared out of column order; non-ASCII letters, blanks and quotes.
             "CREATE TABLE \"Kunde Größe\" (\"Nr\" INTEGER NOT NULL, \"Land's\" VARCHAR(10) NOT NULL, note TEXT, "
             "PRIMARY KEY (\"Land's\", \"Nr\"))",
             // Self reference, a two-column key with rules, reserved words, a key without columns.
             "CREATE TABLE \"o'key\" (id INTEGER PRIMARY KEY, parent INTEGER REFERENCES \"o'key\"(id) ON DELETE CASCADE, "
             "nr INTEGER, land VARCHAR(10), memo TEXT, \"select\" INTEGER REFERENCES a_b ON UPDATE RESTRICT, "
             "\"group\" INTEGER, CONSTRAINT fk_kunde FOREIGN KEY (land, nr) REFERENCES \"Kunde Größe\"(\"Land's\", \"Nr\") "
             "ON UPDATE CASCADE ON DELETE SET NULL, FOREIGN KEY (\"group\") REFERENCES axb(xb) ON DELETE SET DEFAULT)",
             "CREATE UNIQUE INDEX \"ix memo\" ON \"o'key\" (memo DESC, nr)",
             "CREATE INDEX ix_multi ON \"o'key\" (land, \"select\")",
             "CREATE INDEX ix_expr ON \"o'key\" (lower(memo), id)",
             "CREATE INDEX ix_part ON \"o'key\" (\"group\") WHERE \"group\" > 0",
             // Referenced names the driver matches without regard to case or strips of brackets.
             "CREATE TABLE refs (x INTEGER REFERENCES A_B(ab), y INTEGER REFERENCES [a_b](ab), "
             "z INTEGER REFERENCES \"[br]\"(id))",
             "CREATE TABLE \"[br]\" (id INTEGER PRIMARY KEY)",
             // No primary key, though UNIQUE constraints on NOT NULL columns; none at all.
             "CREATE TABLE np (a INTEGER NOT NULL, b TEXT NOT NULL, c INTEGER, UNIQUE (b, a), UNIQUE (c))",
             "CREATE TABLE bare (a INTEGER, b TEXT)",
             // WITHOUT ROWID, with a composite and with an INTEGER key; a composite key with one
             // INTEGER column.
             "CREATE TABLE wr (k TEXT, n INTEGER, v TEXT, PRIMARY KEY (n, k)) WITHOUT ROWID",
             "CREATE TABLE wri (id INTEGER PRIMARY KEY, v TEXT) WITHOUT ROWID",
             "CREATE INDEX ix_wr ON wr (v)",
             "CREATE TABLE mixed (t TEXT, i INTEGER, PRIMARY KEY (t, i))",
             "CREATE TABLE \"order\" (\"from\" INTEGER PRIMARY KEY AUTOINCREMENT, "
             "\"where\" INTEGER REFERENCES orders(id) ON UPDATE SET NULL ON DELETE RESTRICT)",
             // The driver reads "a\_b" as the pattern for a_b.
             "CREATE TABLE \"a\\_b\" (id INTEGER PRIMARY KEY)",
             // Referencing tables come in creation order, not by name.
             "CREATE TABLE \"Aref\" (r INTEGER REFERENCES a_b(ab), s INTEGER, t TEXT, "
             "FOREIGN KEY (s, t) REFERENCES \"Kunde Größe\"(\"Nr\", \"Land's\") ON DELETE CASCADE)",
         })
        conn.execute(sql);

    EXPECT_TRUE(conn.readsWholeCatalogue(adSchemaPrimaryKeys));
    EXPECT_TRUE(conn.readsWholeCatalogue(adSchemaIndexes));
    EXPECT_TRUE(conn.readsWholeCatalogue(adSchemaForeignKeys));
    EXPECT_FALSE(conn.readsWholeCatalogue(adSchemaColumns));

    // The tables the rowsets cover, in the driver's order (sqlite_sequence is one of them).
    std::vector<std::string> tables;
    for (Recordset t = conn.openSchema(adSchemaTables); !t.eof(); t.moveNext())
        if (t["TABLE_TYPE"].toString() != "VIEW") tables.push_back(t["TABLE_NAME"].toString());
    ASSERT_EQ(tables.size(), 19u);

    struct Case {
        SchemaEnum schema;
        size_t tableSlot;
        size_t minimumRows;
    };
    for (const Case& c : {Case{adSchemaPrimaryKeys, 2, 14}, Case{adSchemaIndexes, 4, 21}, Case{adSchemaForeignKeys, 2, 11}}) {
        SCOPED_TRACE(c.schema);
        const auto whole = rowsOf(conn.openSchema(c.schema));
        // A whole-database query that failed would leave its error here (and the rows of the
        // per-table calls that replace it).
        EXPECT_TRUE(conn.errors().empty());
        std::vector<std::vector<std::string>> perTable;
        for (const auto& t : tables) {
            std::vector<Value> restrictions(c.tableSlot + 1);
            restrictions[c.tableSlot] = Value(t);
            for (auto& row : rowsOf(conn.openSchema(c.schema, restrictions))) perTable.push_back(std::move(row));
        }
        EXPECT_GE(whole.size(), c.minimumRows);
        ASSERT_EQ(whole.size(), perTable.size());
        for (size_t i = 0; i < whole.size(); ++i) EXPECT_EQ(whole[i], perTable[i]) << "row " << i;
    }

    // Key columns in key order (the key is declared ("Land's", "Nr")) and only where the table
    // declares a key, as the catalogue has them; no index for the INTEGER key, referenced names
    // matched without regard to case, declared constraint names.
    EXPECT_EQ(columnValues(conn.openSchema(adSchemaPrimaryKeys, {Value(), Value(), "Kunde Größe"}), "COLUMN_NAME"),
              (std::vector<std::string>{"Land's", "Nr"}));
    for (const auto& t : tables)
        EXPECT_EQ(columnValues(conn.openSchema(adSchemaPrimaryKeys, {Value(), Value(), Value(t)}), "COLUMN_NAME"),
                  columnValues(conn.execute("SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk", {Value(t)}),
                               "name"))
            << t;
    auto indexes = [&](const char* table) {
        std::vector<std::string> out;
        for (Recordset ix = conn.openSchema(adSchemaIndexes, {Value(), Value(), Value(), Value(), table}); !ix.eof();
             ix.moveNext())
            out.push_back(ix["INDEX_NAME"].toString() + ":" + ix["COLUMN_NAME"].toString());
        return out;
    };
    EXPECT_EQ(indexes("wri"), (std::vector<std::string>{"sqlite_autoindex_wri_1:id"}));
    EXPECT_EQ(indexes("mixed"), (std::vector<std::string>{"sqlite_autoindex_mixed_1:t", "sqlite_autoindex_mixed_1:i"}));
    EXPECT_EQ(columnValues(conn.openSchema(adSchemaForeignKeys, {Value(), Value(), "a_b"}), "FK_TABLE_NAME"),
              (std::vector<std::string>{"o'key", "refs", "refs", "Aref"}));
    std::vector<std::string> kunde;
    for (Recordset fk = conn.openSchema(adSchemaForeignKeys, {Value(), Value(), "Kunde Größe"}); !fk.eof(); fk.moveNext())
        kunde.push_back(fk["FK_COLUMN_NAME"].toString() + ">" + fk["PK_COLUMN_NAME"].toString() + " " +
                        fk["ORDINAL"].toString() + " " + fk["UPDATE_RULE"].toString() + "/" +
                        fk["DELETE_RULE"].toString() + " " + fk["FK_NAME"].toString());
    EXPECT_EQ(kunde, (std::vector<std::string>{"land>Land's 1 CASCADE/SET NULL fk_kunde", "nr>Nr 2 CASCADE/SET NULL fk_kunde",
                                               "s>Nr 1 NO ACTION/CASCADE ", "t>Land's 2 NO ACTION/CASCADE "}));

    // The whole-database keys read for one rowset serve the next only while the schema holds.
    conn.openSchema(adSchemaPrimaryKeys);
    conn.execute("CREATE UNIQUE INDEX ix_late ON bare (b)");
    const auto names = columnValues(conn.openSchema(adSchemaIndexes), "INDEX_NAME");
    EXPECT_NE(std::find(names.begin(), names.end(), "ix_late"), names.end());
}

// Column rows are made from the engine's pragmas, not by the driver's SQLColumns: types,
// positions and nullability must still be the driver's for any declared type, also with the
// driver's BigInt setting (INTEGER reported as BIGINT).
TEST(SqliteColumns, RowsetAgreesWithTheDriverForEveryDeclaredType) {
    const std::vector<std::string> declared = {
        "INTEGER", "INT", "int unsigned", "MEDIUMINT", "TINYINT", "SMALLINT(3)", "BIGINT", "integer(5)", "interval",
        "NUMERIC", "NUMERIC(10,2)", "numeric( 7 , 3 )", "DECIMAL(12, 4)", "FLOAT(10)", "DOUBLE", "double precision",
        "REAL", "TIMESTAMP", "timestamp(6)", "DATETIME", "TIME", "DATE", "TEXT", "memo", "longvarchar", "BOOLEAN",
        "BIT", "BLOB", "varbinary(100)", "VARBINARY(300)", "longvarbinary", "VARCHAR(300)", "varchar(255)",
        "CHAR(10)", "", "weird (type)", "JSON", "text(10)", "DECIMAL(5,-2)", "CHAR(+4)", "int8", "Date Time"};
    testsupport::TempDir dir;
    const std::string path = dir.file("types.db");
    std::string create = "CREATE TABLE t (";
    for (size_t i = 0; i < declared.size(); ++i)
        create += (i ? ", c" : "c") + std::to_string(i) + " " +
                  (declared[i].empty() ? "" : "\"" + declared[i] + "\"") + (i % 3 == 0 ? " NOT NULL" : "");
    create += ")";
    {
        Connection setup;
        setup.open("Driver=SQLite3;Database=" + quoteConnectionValue(path));
        setup.execute("CREATE TABLE a (id INTEGER PRIMARY KEY, n INT)");
        setup.execute(create);
    }
    for (const std::string options : {"", ";BigInt=1"}) {
        SCOPED_TRACE(options);
        const std::string text = "Driver=SQLite3;Database=" + quoteConnectionValue(path) + options;
        // The driver's own rows: type code, type name, nullability, position.
        struct Raw {
            long long type, nullable, position;
            std::string name;
        };
        std::vector<Raw> raw;
        SQLHENV env = SQL_NULL_HENV;
        SQLHDBC dbc = SQL_NULL_HDBC;
        SQLHSTMT st = SQL_NULL_HSTMT;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)));
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                                                   SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLColumns(st, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(const_cast<char*>("t")),
                                             SQL_NTS, nullptr, 0)));
        while (SQL_SUCCEEDED(SQLFetch(st))) {
            SQLINTEGER type = 0, nullable = 0, position = 0;
            SQLCHAR name[256] = {};
            SQLLEN ind = 0, nameInd = 0;
            SQLGetData(st, 5, SQL_C_SLONG, &type, 0, &ind);
            SQLGetData(st, 6, SQL_C_CHAR, name, sizeof name, &nameInd);
            SQLGetData(st, 11, SQL_C_SLONG, &nullable, 0, &ind);
            SQLGetData(st, 17, SQL_C_SLONG, &position, 0, &ind);
            raw.push_back({type, nullable, position, nameInd == SQL_NULL_DATA ? "" : reinterpret_cast<char*>(name)});
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        ASSERT_EQ(raw.size(), declared.size());

        Connection conn;
        conn.open(text);
        Recordset rs = conn.openSchema(adSchemaColumns, {Value(), Value(), "t"});
        for (const Raw& r : raw) {
            ASSERT_FALSE(rs.eof());
            SCOPED_TRACE(r.name);
            EXPECT_EQ(rs["DATA_TYPE"].toInt(), odbc::adoType(static_cast<SQLSMALLINT>(r.type), r.name, false));
            EXPECT_EQ(rs["IS_NULLABLE"], Value(r.nullable != SQL_NO_NULLS));
            EXPECT_EQ(rs["ORDINAL_POSITION"].toInt(), r.position);
            rs.moveNext();
        }
        EXPECT_TRUE(rs.eof());
    }
}

// Names holding the catalogue's pattern characters are names, not patterns: "%odd" is read
// (the driver refuses it), "a_b" never matches "axb".
TEST_F(SqliteDb, TableNamesThatLookLikePatternsAreRead) {
    conn.execute("CREATE TABLE \"%odd\" (id INTEGER PRIMARY KEY, b INTEGER REFERENCES a_b(ab), c TEXT UNIQUE)");
    for (auto [schema, slot] : {std::pair{adSchemaPrimaryKeys, 2}, {adSchemaIndexes, 4}, {adSchemaForeignKeys, 5}}) {
        SCOPED_TRACE(schema);
        std::vector<Value> restrictions(slot + 1);
        restrictions[slot] = Value("%odd");
        EXPECT_EQ(errorNumberOf([&] { conn.openSchema(schema); }), 0);
        EXPECT_EQ(conn.openSchema(schema, restrictions).recordCount(), 1);
    }
    EXPECT_EQ(columnValues(conn.openSchema(adSchemaColumns, {Value(), Value(), "%odd"}), "COLUMN_NAME"),
              (std::vector<std::string>{"id", "b", "c"}));
}

TEST_F(SqliteDb, ViewsChecksAndTheRowsetTheEngineLacks) {
    Recordset v = conn.openSchema(adSchemaViews);
    ASSERT_EQ(v.recordCount(), 1);
    EXPECT_EQ(v["TABLE_NAME"].toString(), "v_customers");
    EXPECT_NE(v["VIEW_DEFINITION"].toString().find("SELECT"), std::string::npos);
    EXPECT_TRUE(conn.errors().empty());

    // Checks come from the table's text: a column's on it, a table's on the columns it names
    // (not on a string that spells one), one naming none nowhere.
    conn.execute("CREATE TABLE chk (a INT CONSTRAINT a_pos CHECK (a > 0) CHECK ( a < (100) ), \"b c\" TEXT, "
                 "/* CHECK (no) */ CHECK (\"b c\" <> 'a' OR [a] = 1), CHECK (1))");
    std::vector<std::string> checks;
    for (Recordset c = conn.openSchema(adSchemaCheckConstraints); !c.eof(); c.moveNext())
        checks.push_back(c["TABLE_NAME"].toString() + "." + c["COLUMN_NAME"].toString() + " " +
                         c["CONSTRAINT_NAME"].toString() + ": " + c["CHECK_CLAUSE"].toString());
    EXPECT_EQ(checks, (std::vector<std::string>{"chk.a a_pos: a > 0", "chk.a : a < (100)", "chk.a : \"b c\" <> 'a' OR [a] = 1",
                                                "chk.b c : \"b c\" <> 'a' OR [a] = 1"}));
    EXPECT_EQ(conn.openSchema(adSchemaCheckConstraints, {Value(), Value(), "a_pos"}).recordCount(), 1);
    EXPECT_TRUE(conn.errors().empty());
    EXPECT_EQ(errorNumberOf([&] { conn.openSchema(adSchemaViewColumnUsage, {Value(), Value(), "v_customers"}); }),
              err::NotSupported);
    // The connection stays usable.
    EXPECT_EQ(conn.execute("SELECT COUNT(*) FROM customers").field(0).toInt(), 0);
}

TEST_F(SqliteDb, ExecuteAndNavigate) {
    long long affected = -2;
    conn.execute("INSERT INTO customers (name, email) VALUES ('Ann', 'a@x'), ('Bob', NULL), ('Cy''s', 'c@x')", &affected);
    EXPECT_EQ(affected, 3);
    Recordset none = conn.execute("UPDATE customers SET name = name WHERE id < 0", &affected);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(affected, 0);

    Recordset rs = conn.execute("SELECT id, name, email FROM customers ORDER BY id");
    ASSERT_TRUE(rs.isOpen());
    EXPECT_EQ(rs.source(), "SELECT id, name, email FROM customers ORDER BY id");
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.fieldCount(), 3);
    EXPECT_EQ(rs.fieldInfo(1).name, "name");
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs["NAME"].toString(), "Ann");
    EXPECT_EQ(rs.field(0).kind(), ValueKind::Int);
    EXPECT_EQ(errorNumberOf([&] { rs["nosuch"]; }), err::ItemNotFound);
    EXPECT_EQ(errorNumberOf([&] { rs.field(7); }), err::ItemNotFound);
    rs.moveLast();
    EXPECT_EQ(rs["name"].toString(), "Cy's");
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(errorNumberOf([&] { rs.moveNext(); }), err::NoCurrentRecord);
    EXPECT_EQ(errorNumberOf([&] { rs["name"]; }), err::NoCurrentRecord);
    rs.movePrevious();
    rs.movePrevious();
    EXPECT_TRUE(rs["email"].isNull());
    rs.moveFirst();
    EXPECT_EQ(rs.getString(" ", " ", ""), "1 Ann a@x 2 Bob  3 Cy's c@x ");
    EXPECT_TRUE(rs.eof());
    rs.moveFirst();
    EXPECT_EQ(rs.getString("|", "\n", "NULL", 2), "1|Ann|a@x\n2|Bob|NULL\n");
    EXPECT_EQ(rs["id"].toInt(), 3);
    // A value stored in another class than its column's type is read as stored.
    conn.execute("CREATE TABLE mixed (i INTEGER, r REAL, b BOOLEAN)");
    conn.execute("INSERT INTO mixed VALUES (9007199254740993, 0.1, 1), ('n/a', 'x', 'yes'), (1.5, 7, 2), (NULL, NULL, 0)");
    EXPECT_EQ(conn.execute("SELECT * FROM mixed").getString(",", ";", "NULL"),
              "9007199254740993,0.1,True;n/a,x,yes;1.5,7.0,2;NULL,NULL,False;");

    Recordset empty = conn.execute("SELECT * FROM customers WHERE id < 0");
    EXPECT_TRUE(empty.isOpen());
    EXPECT_TRUE(empty.bof());
    EXPECT_TRUE(empty.eof());
    EXPECT_EQ(empty.recordCount(), 0);
    EXPECT_EQ(errorNumberOf([&] { empty.getString(); }), err::NoCurrentRecord);
    empty.close();
    EXPECT_EQ(errorNumberOf([&] { empty.eof(); }), err::ObjectClosed);
}

TEST_F(SqliteDb, ProviderErrorsAreListedAndThrown) {
    try {
        conn.execute("SELEC nonsense FROM nowhere");
        FAIL() << "no error";
    } catch (const Error& e) {
        ASSERT_FALSE(conn.errors().empty());
        EXPECT_EQ(e.number(), conn.errors()[0].number);
        EXPECT_FALSE(conn.errors()[0].description.empty());
        EXPECT_EQ(conn.errors()[0].sqlState.size(), 5u);
    }
    conn.execute("SELECT 1");
    EXPECT_TRUE(conn.errors().empty());
    EXPECT_EQ(errorNumberOf([&] { conn.execute(""); }) != 0, true);
}

TEST_F(SqliteDb, AsynchronousFetchArrivesInBatches) {
    conn.execute("CREATE TABLE n (i INTEGER)");
    conn.execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100) "
                 "INSERT INTO n SELECT x FROM c");
    Recordset rs;
    rs.setInitialFetchSize(10);
    rs.setBackgroundFetchSize(25);
    rs.open("SELECT i FROM n ORDER BY i", conn, adOpenKeyset, adLockOptimistic, adAsyncFetch);
    EXPECT_EQ(rs.recordCount(), 10);
    EXPECT_FALSE(rs.fetchComplete());
    EXPECT_EQ(rs.fetchMore(), 25);
    EXPECT_EQ(rs.recordCount(), 35);
    // Another statement on the connection reads the rest ahead; nothing is lost.
    EXPECT_EQ(conn.execute("SELECT COUNT(*) FROM n").field(0).toInt(), 100);
    rs.fetchAll();
    EXPECT_TRUE(rs.fetchComplete());
    EXPECT_EQ(rs.recordCount(), 100);
    rs.moveLast();
    EXPECT_EQ(rs["i"].toInt(), 100);
    EXPECT_EQ(rs.fetchMore(), 0);

    // Walking past the fetched rows fetches on demand.
    Recordset walk;
    walk.setInitialFetchSize(3);
    walk.open("SELECT i FROM n", conn, adOpenKeyset, adLockOptimistic, adAsyncFetch);
    long count = 0;
    for (; !walk.eof(); walk.moveNext()) ++count;
    EXPECT_EQ(count, 100);

    // Rows read on the side and added later keep every value exactly: every kind, a long text
    // (in a block of its own), bytes with NULs, and long text in a number column.
    const std::string longText = std::string(700000, 'x') + "\xc3\xa4";
    conn.execute("CREATE TABLE kinds (i INTEGER, r REAL, t TEXT, b BLOB)");
    conn.execute("INSERT INTO kinds VALUES (-9007199254740993, 0.25, '', x'00ff00'), (NULL, -1e300, 'a\tb', NULL)");
    conn.execute("INSERT INTO kinds VALUES (?, ?, ?, ?)", {Value(7), Value(), Value(longText), Value::binary(std::string(200, '\0'))});
    conn.execute("INSERT INTO kinds VALUES (?, 1, 't', NULL)", {Value(std::string(5000, '9') + "x")});
    Recordset side;
    side.setInitialFetchSize(1);
    side.open("SELECT * FROM kinds ORDER BY rowid LIMIT 3", conn, adOpenKeyset, adLockOptimistic, adAsyncFetch);
    side.addRows(side.readRows(1));
    side.addRows(side.readRows(5));
    ASSERT_EQ(side.recordCount(), 3);
    EXPECT_EQ(side.value(0, 0), Value(-9007199254740993LL));
    EXPECT_EQ(side.value(0, 1), Value(0.25));
    EXPECT_EQ(side.value(0, 2), Value(""));
    EXPECT_EQ(side.value(0, 3), Value::binary(std::string("\0\xff\0", 3)));
    EXPECT_TRUE(side.value(1, 0).isNull());
    EXPECT_EQ(side.value(1, 1), Value(-1e300));
    EXPECT_EQ(side.cell(1, 2).bytes, "a\tb");
    EXPECT_EQ(side.cell(2, 2).bytes, longText);
    EXPECT_EQ(side.value(2, 3), Value::binary(std::string(200, '\0')));
    side.moveLast();
    EXPECT_EQ(side["i"], Value(7));
    EXPECT_TRUE(side["r"].isNull());
    EXPECT_EQ(side["t"].bytes(), longText);
    EXPECT_EQ(conn.execute("SELECT i, r FROM kinds WHERE r = 1").field(0), Value(std::string(5000, '9') + "x"));
}

// Streamed or not, every statement runs and reports its own count: the driver's step mode
// leaves statements starting with WITH to the first fetch, and counts them as queries.
TEST(SqliteStatements, EveryStatementRunsWithItsOwnCountWhetherStreamedOrNot) {
    for (const bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "streamed" : "read whole");
        testsupport::TempDir dir;
        Connection conn;
        conn.setStreamResults(stream);
        conn.open("Driver=SQLite3;Database=" + quoteConnectionValue(dir.file("s.db")));
        auto affected = [&](const std::string& sql, std::vector<Value> params = {}) {
            long long n = -7;
            conn.execute(sql, params, &n);
            return n;
        };
        auto rows = [&] { return conn.execute("SELECT COUNT(*) FROM t").field(0).toInt(); };
        affected("CREATE TABLE t (a INTEGER, b TEXT)");
        EXPECT_EQ(affected("INSERT INTO t VALUES (1, 'x'), (2, 'y'), (3, 'z')"), 3);
        EXPECT_EQ(affected("/* two */ WITH n(i) AS (SELECT 10 UNION ALL SELECT 11) INSERT INTO t SELECT i, 'w' FROM n"), 2);
        EXPECT_EQ(rows(), 5);
        EXPECT_EQ(affected("with n(i) as (select 10) update t set b = 'u' where a in (select i from n) or a = 1"), 2);
        EXPECT_EQ(affected("WITH n(i) AS (SELECT 2) DELETE FROM t WHERE a IN (SELECT i FROM n)"), 1);
        EXPECT_EQ(rows(), 4);
        EXPECT_EQ(affected("WITH n(i) AS (SELECT ?) INSERT INTO t SELECT i, 'p' FROM n", {Value(40)}), 1);
        EXPECT_EQ(affected("UPDATE t SET b = 'v' WHERE a > 100"), 0);
        // Inside an explicit transaction.
        affected("BEGIN");
        EXPECT_EQ(affected("WITH n(i) AS (SELECT 20) INSERT INTO t SELECT i, 'w' FROM n"), 1);
        affected("COMMIT");
        EXPECT_EQ(rows(), 6);
        // A definition after DML does not take over the DML's count.
        EXPECT_NE(affected("CREATE TABLE u (x)"), 1);
        // A WITH query returns its rows.
        Recordset rs;
        rs.setInitialFetchSize(2);
        rs.open("WITH n(i) AS (SELECT a FROM t) SELECT i FROM n ORDER BY i", conn, adOpenKeyset, adLockOptimistic,
                adAsyncFetch);
        ASSERT_TRUE(rs.isOpen());
        rs.fetchAll();
        EXPECT_EQ(columnValues(std::move(rs), "i"), (std::vector<std::string>{"1", "3", "10", "11", "20", "40"}));
    }
}

TEST_F(SqliteDb, UnicodeNamesAndValuesRoundTrip) {
    conn.execute("CREATE TABLE \"Größe\" (\"Straße\" VARCHAR(20))");
    conn.execute("INSERT INTO \"Größe\" VALUES ('Ærø – 東京')");
    EXPECT_EQ(conn.execute("SELECT * FROM \"Größe\"").field(0).toString(), "Ærø – 東京");
    auto cols = columnValues(conn.openSchema(adSchemaColumns, {Value(), Value(), "Größe"}), "COLUMN_NAME");
    EXPECT_EQ(cols, std::vector<std::string>{"Straße"});
}

TEST_F(SqliteDb, ClosingTheConnectionEndsItsRecordsetsSafely) {
    conn.execute("CREATE TABLE n (i INTEGER)");
    for (int i = 0; i < 20; ++i) conn.execute("INSERT INTO n VALUES (" + std::to_string(i) + ")");
    Recordset rs;
    rs.setInitialFetchSize(5);
    rs.open("SELECT i FROM n", conn, adOpenKeyset, adLockOptimistic, adAsyncFetch);
    conn.close();
    EXPECT_FALSE(conn.isOpen());
    EXPECT_EQ(rs.recordCount(), 5);
    rs.fetchAll();
    EXPECT_TRUE(rs.fetchComplete());
    // Reopening works with the stored string.
    conn.open();
    EXPECT_EQ(conn.execute("SELECT COUNT(*) FROM n").field(0).toInt(), 20);
    EXPECT_EQ(errorNumberOf([&] { conn.open(); }), err::ObjectOpen);
    EXPECT_EQ(conn.dbmsName(), "SQLite");
}

TEST(AccessFile, MdbToolsOpensTheSampleThroughTheJetProvider) {
    Connection c;
    c.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
           quoteConnectionValue(testsupport::sharedFixturePath("access/nwind.mdb")));
    auto names = columnValues(c.openSchema(adSchemaTables, {Value(), Value(), Value(), "TABLE"}), "TABLE_NAME");
    std::set<std::string> got(names.begin(), names.end());
    EXPECT_TRUE(got.count("Customers"));
    EXPECT_TRUE(got.count("Orders"));
}

// The CREATE text and declared types, read without a database.
namespace ddl = db::schema::sqlitesql;
namespace types = db::schema::sqlitecolumns;

TEST(SqliteDdl, TokensKeepQuotedNamesWholeAndSkipComments) {
    const std::string sql = "CREATE TABLE \"a\"\"b\" ([x y] INT, `q` TEXT DEFAULT 'it''s') -- no (\n/* nor , */;";
    std::vector<size_t> at;
    const auto t = ddl::tokens(sql, &at);
    const std::vector<std::string> want = {"CREATE", "TABLE", "\"a\"b", "(", "[x y", "INT", ",", "`q",
                                           "TEXT", "DEFAULT", "'it's", ")", ";"};
    EXPECT_EQ(t, want);
    ASSERT_EQ(at.size(), t.size());
    EXPECT_EQ(at[4], sql.find('['));
    EXPECT_EQ(at[12], sql.size() - 1);
}

TEST(SqliteDdl, DeclaredNamesOfKeysAndGeneratedColumns) {
    const auto names = ddl::declaredNames(
        "CREATE TABLE t (id INTEGER CONSTRAINT pk_t PRIMARY KEY,\n"
        "  \"Parent\" INT CONSTRAINT fk_parent REFERENCES p(id) ON DELETE CASCADE,\n"
        "  other INT NOT NULL REFERENCES q, -- CONSTRAINT hidden REFERENCES x\n"
        "  total INT GENERATED ALWAYS AS (id * (2 + 1)) STORED, a INT, b INT,\n"
        "  CONSTRAINT [fk ab] FOREIGN KEY (a COLLATE nocase, B) REFERENCES r(x, y),\n"
        "  CONSTRAINT positive CHECK (a > 0))");
    EXPECT_EQ(names.primaryKey, "pk_t");
    using Key = std::pair<std::string, std::vector<std::string>>;
    const std::vector<Key> keys = {{"fk_parent", {"parent"}}, {"", {"other"}}, {"fk ab", {"a", "b"}}};
    EXPECT_EQ(names.foreignKeys, keys);
    ASSERT_EQ(names.generated.size(), 1u);
    EXPECT_EQ(names.generated.at("total"), "id * (2 + 1)");

    EXPECT_EQ(ddl::declaredNames("CREATE TABLE u (a INT, b INT, CONSTRAINT \"u pk\" PRIMARY KEY (a, b))").primaryKey,
              "u pk");
    EXPECT_EQ(ddl::declaredNames("CREATE TABLE v (a INT, PRIMARY KEY (a))").primaryKey, "");
}

TEST(SqliteDdl, IndexMembersAsWrittenAndTheirCondition) {
    auto index = ddl::indexText("CREATE INDEX ix ON t (lower(name), \"b\" DESC, a + 1) WHERE a > 0 AND b IS NOT NULL");
    const std::vector<std::string> members = {"lower(name)", "\"b\" DESC", "a + 1"};
    EXPECT_EQ(index.members, members);
    EXPECT_EQ(index.condition, "a > 0 AND b IS NOT NULL");
    index = ddl::indexText("CREATE UNIQUE INDEX \"i x\" ON t(a)");
    EXPECT_EQ(index.members, std::vector<std::string>{"a"});
    EXPECT_EQ(index.condition, "");
}

TEST(SqliteDdl, DeclaredTypesReadAsTheDriverReadsThem) {
    struct Case {
        const char* declared;
        int type, size, digits;
    };
    const Case cases[] = {
        {"INTEGER", SQL_INTEGER, 10, 9}, {"mediumint", SQL_INTEGER, 10, 9}, {"INTERVAL", SQL_VARCHAR, 255, 0},
        {"BIGINT", SQL_BIGINT, 20, 19}, {"NUMERIC(10,2)", SQL_DOUBLE, 10, 2}, {"DECIMAL(10, 2)", SQL_VARCHAR, 10, 2},
        {"VARCHAR ( 20 )", SQL_VARCHAR, 20, 20}, {"VARCHAR(20", SQL_VARCHAR, 255, 0},
        {"TIMESTAMP(6)", SQL_TYPE_TIMESTAMP, 32, 6}, {"DATETIME", SQL_TYPE_TIMESTAMP, 32, 3},
        {"time", SQL_TYPE_TIME, 8, 0}, {"Text", SQL_LONGVARCHAR, 65536, 0}, {"BLOB", SQL_BINARY, 255, 0},
        {"UNSIGNED BIG INT", SQL_VARCHAR, 255, 0}, {"", SQL_VARCHAR, 255, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.declared);
        const int t = types::sqlType(c.declared, false);
        EXPECT_EQ(t, c.type);
        int m = -1, d = -1;
        types::sizes(c.declared, t, m, d);
        EXPECT_EQ(m, c.size);
        EXPECT_EQ(d, c.digits);
    }
    EXPECT_EQ(types::sqlType("INTEGER", true), SQL_BIGINT);
    EXPECT_EQ(types::sqlType("TEXT", true), SQL_LONGVARCHAR);
}
