// The data layer against PostgreSQL and MariaDB servers started on loopback by
// scripts/dbservers.sh (connection strings in DALV_TEST_PG and DALV_TEST_MARIADB).
#include "DbTestSupport.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>

using namespace db;

namespace {

std::string serverString(const char* var) {
    const char* v = std::getenv(var);
    return v ? v : "";
}

class Server : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        started = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(1);
        cs = serverString(GetParam());
        if (cs.empty()) GTEST_SKIP() << GetParam() << " not set: run scripts/dbservers.sh start";
        // Test processes run in parallel and share the server's database: one at a time.
        lock = ::open(("/tmp/dalvane-" + std::string(GetParam()) + ".lock").c_str(), O_CREAT | O_RDWR, 0600);
        if (lock >= 0) flock(lock, LOCK_EX);
        conn.open(cs);
        pg = conn.dbmsName().find("PostgreSQL") != std::string::npos;
        const std::string obrien = pg ? "\"o'brien\"" : "`o'brien`";
        for (std::string sql : {std::string("DROP VIEW IF EXISTS v_items"), std::string("DROP TABLE IF EXISTS items"),
                                std::string("DROP TABLE IF EXISTS parts"), "DROP TABLE IF EXISTS " + obrien})
            conn.execute(sql);
        conn.execute("CREATE TABLE parts (id INTEGER PRIMARY KEY, code VARCHAR(12) NOT NULL UNIQUE, "
                      "price NUMERIC(8,2) CHECK (price >= 0))");
        conn.execute("CREATE TABLE items (id INTEGER PRIMARY KEY, part_id INTEGER, qty SMALLINT DEFAULT 1, "
                     "CONSTRAINT fk_items_parts FOREIGN KEY (part_id) REFERENCES parts(id) ON DELETE SET NULL)");
        conn.execute("CREATE TABLE " + obrien + " (x INTEGER)");
        conn.execute("CREATE VIEW v_items AS SELECT i.id, p.code FROM items i JOIN parts p ON p.id = i.part_id");
    }
    void TearDown() override {
        conn.close();
        if (lock >= 0) ::close(lock);
        // The PostgreSQL driver's logs stay off: it leaves no log file of this process.
        const std::string log = "/tmp/psqlodbc_" + std::string(program_invocation_short_name) + "_" +
                                getpwuid(getuid())->pw_name + std::to_string(getpid()) + ".log";
        EXPECT_FALSE(std::filesystem::exists(log) && std::filesystem::last_write_time(log) >= started) << log;
    }
    std::filesystem::file_time_type started;
    std::string cs;
    Connection conn;
    bool pg = false;
    int lock = -1;
};

std::set<std::string> names(Recordset rs, const char* field) {
    std::set<std::string> out;
    for (; !rs.eof(); rs.moveNext()) out.insert(rs[field].toString());
    return out;
}

}  // namespace

// A server that takes the connection and never answers (a socket nobody accepts on) fails the
// open once the login timeout has passed.
TEST_P(Server, AServerThatNeverAnswersFailsTheOpen) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    auto params = parseConnectionString(cs);
    for (auto& p : params)
        if (p.first == "Port") p.second = std::to_string(ntohs(addr.sin_port));
    std::string silent;
    for (auto& [k, v] : params) silent += k + "=" + odbcQuote(v) + ";";
    Connection c;
    c.setConnectionTimeout(1);
    const auto start = std::chrono::steady_clock::now();
    std::string said;
    try { c.open(silent); } catch (const Error& e) { said = e.what(); }
    EXPECT_EQ(said, "The server did not answer within 1 second.");  // the driver's timeout or ours
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    close(listener);
}

TEST_P(Server, WrongPasswordIsALoginFailure) {
    auto params = parseConnectionString(cs);
    for (auto& p : params)
        if (p.first == "PWD") p.second = "wrong";
    std::string bad;
    for (auto& [k, v] : params) bad += k + "=" + odbcQuote(v) + ";";
    Connection c;
    try {
        c.open(bad);
        FAIL() << "opened with a wrong password";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::AuthFailed) << e.what();
        ASSERT_FALSE(c.errors().empty());
        EXPECT_EQ(c.errors()[0].number, err::AuthFailed);
    }
    EXPECT_FALSE(c.isOpen());
}

TEST_P(Server, SchemaRowsets) {
    auto tables = names(conn.openSchema(adSchemaTables, {Value(), Value(), Value(), "TABLE"}), "TABLE_NAME");
    EXPECT_TRUE(tables.count("parts") && tables.count("items") && tables.count("o'brien"));
    EXPECT_FALSE(tables.count("v_items"));

    Recordset cols = conn.openSchema(adSchemaColumns, {Value(), Value(), "parts"});
    ASSERT_EQ(cols.recordCount(), 3);
    cols.moveNext();
    EXPECT_EQ(cols["COLUMN_NAME"].toString(), "code");
    EXPECT_EQ(cols["CHARACTER_MAXIMUM_LENGTH"].toInt(), 12);
    EXPECT_EQ(cols["IS_NULLABLE"], Value(false));

    Recordset pk = conn.openSchema(adSchemaPrimaryKeys, {Value(), Value(), "parts"});
    ASSERT_EQ(pk.recordCount(), 1);
    EXPECT_EQ(pk["COLUMN_NAME"].toString(), "id");

    Recordset ix = conn.openSchema(adSchemaIndexes, {Value(), Value(), Value(), Value(), "parts"});
    std::set<std::string> uniqueCols;
    bool sawPrimary = false;
    for (; !ix.eof(); ix.moveNext()) {
        EXPECT_EQ(ix["UNIQUE"], Value(true));
        uniqueCols.insert(ix["COLUMN_NAME"].toString());
        if (ix["PRIMARY_KEY"] == Value(true)) {
            sawPrimary = true;
            EXPECT_EQ(ix["COLUMN_NAME"].toString(), "id");
        }
    }
    EXPECT_EQ(uniqueCols, (std::set<std::string>{"id", "code"}));
    EXPECT_TRUE(sawPrimary);

    Recordset fk = conn.openSchema(adSchemaForeignKeys, {Value(), Value(), "parts"});
    ASSERT_EQ(fk.recordCount(), 1);
    EXPECT_EQ(fk["FK_NAME"].toString(), "fk_items_parts");
    EXPECT_EQ(fk["FK_TABLE_NAME"].toString(), "items");
    EXPECT_EQ(fk["DELETE_RULE"].toString(), "SET NULL");

    auto views = names(conn.openSchema(adSchemaViews), "TABLE_NAME");
    EXPECT_TRUE(views.count("v_items"));

    // Check constraints come from INFORMATION_SCHEMA on both engines.
    Recordset checks = conn.openSchema(adSchemaCheckConstraints);
    bool sawPrice = false;
    for (; !checks.eof(); checks.moveNext())
        if (checks["CHECK_CLAUSE"].toString().find("price") != std::string::npos) sawPrice = true;
    EXPECT_TRUE(sawPrice);
}

// MariaDB keeps no view column usage: it is read from the view's definition.
TEST_P(Server, ViewColumnUsage) {
    auto cols = names(conn.openSchema(adSchemaViewColumnUsage, {Value(), Value(), "v_items"}), "COLUMN_NAME");
    EXPECT_EQ(cols, (std::set<std::string>{"id", "code", "part_id"}));
}

TEST_P(Server, RestrictionsAreBoundNotSpliced) {
    auto none = names(conn.openSchema(adSchemaCheckConstraints, {Value(), Value(), "x' OR '1'='1"}), "CONSTRAINT_NAME");
    EXPECT_TRUE(none.empty());
    auto cols = names(conn.openSchema(adSchemaColumns, {Value(), Value(), "o'brien"}), "COLUMN_NAME");
    EXPECT_EQ(cols, std::set<std::string>{"x"});
}

TEST_P(Server, StatementsAndErrors) {
    long long n = 0;
    conn.execute("INSERT INTO parts VALUES (1, 'A-1', 2.50), (2, 'Größe', NULL)", &n);
    EXPECT_EQ(n, 2);
    Recordset rs = conn.execute("SELECT id, code, price FROM parts ORDER BY id");
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs["price"].toDouble(), 2.5);
    rs.moveNext();
    EXPECT_EQ(rs["code"].toString(), "Größe");
    EXPECT_TRUE(rs["price"].isNull());
    // Money, single precision and unsigned BIGINT come as the server gives them, not through a
    // double or a signed integer.
    if (pg) conn.execute("SET lc_monetary TO 'C'");
    rs = conn.execute(pg ? "SELECT '92233720368547758.07'::money, 0.1::float4, NULL::money"
                         : "SELECT 18446744073709551615, CAST(0.1 AS FLOAT), CAST(NULL AS UNSIGNED)");
    EXPECT_EQ(rs.getString("|", "", "NULL"), pg ? "$92,233,720,368,547,758.07|0.1|NULL" : "18446744073709551615|0.1|NULL");
    // Values longer than the room first given to their column, growing, after and before NULLs,
    // whole; bytes keep their NULs; the same when the rows are streamed.
    const std::string longRows =
        pg ? "SELECT repeat('\u00e4', n), CASE WHEN n = 2 THEN NULL ELSE decode(repeat('00ff', n), 'hex') END "
             "FROM (VALUES (1, 1), (2, 100), (3, 2), (4, 3000)) v(k, n) ORDER BY k"
           : "SELECT REPEAT('\u00e4', n), CASE WHEN n = 2 THEN NULL ELSE UNHEX(REPEAT('00FF', n)) END FROM "
             "(SELECT 1 k, 1 n UNION ALL SELECT 2, 100 UNION ALL SELECT 3, 2 UNION ALL SELECT 4, 3000) v ORDER BY k";
    Connection streamed;
    streamed.setStreamResults(true);
    streamed.open(cs);
    for (Connection* c : {&conn, &streamed}) {
        rs = c->execute(longRows);
        for (int n : {1, 100, 2, 3000}) {
            ASSERT_FALSE(rs.eof());
            std::string text, bytes;
            for (int i = 0; i < n; ++i) text += "\u00e4", bytes += std::string("\0\xff", 2);
            EXPECT_EQ(rs.field(0), Value(text)) << n;
            EXPECT_EQ(rs.field(1), n == 2 ? Value() : Value::binary(bytes)) << n;
            rs.moveNext();
        }
        EXPECT_TRUE(rs.eof());
    }
    try {
        conn.execute("INSERT INTO parts VALUES (1, 'dup', 1)");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::IntegrityViolation) << e.sqlState() << " " << e.what();
    }
    try {
        conn.execute("SELECT * FROM no_such_table");
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.number() == err::NoTable || e.number() == err::ErrorsInCommand) << e.sqlState();
    }
    EXPECT_FALSE(conn.errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, Server, ::testing::Values("DALV_TEST_PG", "DALV_TEST_MARIADB"));

using dbtest::rowsOf;

// Keys, indexes and foreign keys of the whole database come from one query each; they must be
// the rows the driver's catalogue functions give table by table, in table order.
TEST_P(Server, WholeCatalogueRowsetsEqualPerTableRowsets) {
    auto q = [this](const std::string& name) { return pg ? "\"" + name + "\"" : "`" + name + "`"; };
    const std::vector<std::string> drop = {"axb", "a_b", "o'key", "Kunde Größe", "np"};
    for (const auto& t : drop) conn.execute("DROP TABLE IF EXISTS " + q(t));
    conn.execute("CREATE TABLE " + q("Kunde Größe") + " (" + q("Nr") + " INTEGER NOT NULL, " + q("Land's") +
                 " VARCHAR(10) NOT NULL, note VARCHAR(20), PRIMARY KEY (" + q("Land's") + ", " + q("Nr") + "))");
    conn.execute("CREATE TABLE " + q("o'key") + " (id INTEGER PRIMARY KEY, parent INTEGER, nr INTEGER, " +
                 "land VARCHAR(10), memo VARCHAR(30), CONSTRAINT " + q("fk self") + " FOREIGN KEY (parent) REFERENCES " +
                 q("o'key") + "(id) ON DELETE CASCADE, CONSTRAINT fk_kunde FOREIGN KEY (land, nr) REFERENCES " +
                 q("Kunde Größe") + "(" + q("Land's") + ", " + q("Nr") + ") ON UPDATE CASCADE ON DELETE SET NULL)");
    conn.execute("CREATE UNIQUE INDEX " + q("ix memo") + " ON " + q("o'key") + " (memo DESC, nr)");
    conn.execute("CREATE INDEX ix_multi ON " + q("o'key") + " (land, memo)");
    conn.execute("CREATE TABLE a_b (id INTEGER PRIMARY KEY)");
    conn.execute("CREATE TABLE axb (id INTEGER PRIMARY KEY, r INTEGER, s INTEGER, "
                 "CONSTRAINT fk_s FOREIGN KEY (s) REFERENCES a_b(id), CONSTRAINT fk_r FOREIGN KEY (r) REFERENCES a_b(id))");
    // No primary key: the drivers' own calls report a unique index (by its name, or its columns).
    conn.execute("CREATE TABLE np (a INTEGER NOT NULL, b INTEGER NOT NULL)");
    conn.execute("CREATE UNIQUE INDEX np_pkey ON np (b, a)");

    EXPECT_TRUE(conn.readsWholeCatalogue(adSchemaPrimaryKeys));
    EXPECT_TRUE(conn.readsWholeCatalogue(adSchemaIndexes));
    EXPECT_TRUE(conn.readsWholeCatalogue(adSchemaForeignKeys));
    EXPECT_FALSE(conn.readsWholeCatalogue(adSchemaColumns));

    // MariaDB's driver lists every database unless given the current one.
    const Value catalog = pg ? Value() : Value(conn.currentCatalog());
    std::vector<std::string> tables;
    for (Recordset t = conn.openSchema(adSchemaTables, {catalog, Value(), Value(), "TABLE"}); !t.eof(); t.moveNext())
        tables.push_back(t["TABLE_NAME"].toString());
    ASSERT_GE(tables.size(), 8u);

    struct Case {
        SchemaEnum schema;
        size_t tableSlot;
        size_t minimumRows;
    };
    for (const Case& c : {Case{adSchemaPrimaryKeys, 2, 7}, Case{adSchemaIndexes, 4, 12}, Case{adSchemaForeignKeys, 2, 6}}) {
        SCOPED_TRACE(c.schema);
        const auto whole = rowsOf(conn.openSchema(c.schema, {catalog}));
        std::vector<std::vector<std::string>> perTable;
        for (const auto& t : tables) {
            std::vector<Value> restrictions(c.tableSlot + 1);
            restrictions[0] = catalog;
            restrictions[c.tableSlot] = Value(t);
            for (auto& row : rowsOf(conn.openSchema(c.schema, restrictions))) perTable.push_back(std::move(row));
        }
        EXPECT_GE(whole.size(), c.minimumRows);
        // Catalog and schema restrictions are bound into the query.
        if (pg) {
            EXPECT_EQ(rowsOf(conn.openSchema(c.schema, {Value(), "public"})), whole);
        }
        EXPECT_EQ(conn.openSchema(c.schema, {pg ? Value() : Value("x' OR '1'='1"), pg ? Value("x' OR '1'='1") : Value()})
                      .recordCount(),
                  0);
        ASSERT_EQ(whole.size(), perTable.size());
        for (size_t i = 0; i < whole.size(); ++i) EXPECT_EQ(whole[i], perTable[i]) << "row " << i;
    }

    // The rows themselves: a two-column key in key order with its rules, a self reference, a
    // descending column and a name a LIKE pattern would confuse.
    std::vector<std::string> kunde;
    for (Recordset fk = conn.openSchema(adSchemaForeignKeys, {catalog, Value(), "Kunde Größe"}); !fk.eof(); fk.moveNext())
        kunde.push_back(fk["FK_COLUMN_NAME"].toString() + ">" + fk["PK_COLUMN_NAME"].toString() + " " +
                        fk["ORDINAL"].toString() + " " + fk["UPDATE_RULE"].toString() + "/" + fk["DELETE_RULE"].toString());
    EXPECT_EQ(kunde, (std::vector<std::string>{"land>Land's 1 CASCADE/SET NULL", "nr>Nr 2 CASCADE/SET NULL"}));
    // No index is taken for the key, though it is named "<table>_pkey" or COLUMNS marks it PRI.
    EXPECT_EQ(conn.openSchema(adSchemaPrimaryKeys, {catalog, Value(), "np"}).recordCount(), 0);
    EXPECT_EQ(conn.openSchema(adSchemaIndexes, {catalog, Value(), Value(), Value(), "np"}).recordCount(), 2);
    Recordset self = conn.openSchema(adSchemaForeignKeys, {catalog, Value(), "o'key"});
    ASSERT_EQ(self.recordCount(), 1);
    EXPECT_EQ(self["FK_NAME"].toString(), "fk self");
    EXPECT_EQ(self["DELETE_RULE"].toString(), "CASCADE");
    std::vector<std::string> refs;
    for (Recordset fk = conn.openSchema(adSchemaForeignKeys, {catalog}); !fk.eof(); fk.moveNext())
        if (fk["PK_TABLE_NAME"].toString() == "a_b") refs.push_back(fk["FK_TABLE_NAME"].toString() + "." + fk["FK_NAME"].toString());
    if (pg) std::sort(refs.begin(), refs.end());  // PostgreSQL keeps creation order
    EXPECT_EQ(refs, (std::vector<std::string>{"axb.fk_r", "axb.fk_s"}));
    std::vector<std::string> memo;
    for (Recordset ix = conn.openSchema(adSchemaIndexes, {catalog, Value(), "ix memo", Value(), "o'key"}); !ix.eof();
         ix.moveNext())
        memo.push_back(ix["COLUMN_NAME"].toString() + " " + ix["COLLATION"].toString() + " " + ix["UNIQUE"].toString());
    EXPECT_EQ(memo, (std::vector<std::string>{"memo 2 True", "nr 1 True"}));

    for (const auto& t : drop) conn.execute("DROP TABLE " + q(t));
}
