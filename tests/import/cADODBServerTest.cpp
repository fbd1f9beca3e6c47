// The reader against PostgreSQL and MariaDB (skipped when scripts/dbservers.sh has not set
// their connection strings).
#include "ImportTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>

using namespace importtest;

namespace {

std::vector<std::string> serverSchema(ServerDatabase::Engine engine)
{
    std::vector<std::string> sql = {
        R"(CREATE TABLE "Customer Info" ("Cust ID" INTEGER NOT NULL, "Region" VARCHAR(10) NOT NULL DEFAULT 'north',
             "O'Brien" TEXT, "Größe" NUMERIC(8,2) DEFAULT 0 CHECK ("Größe" >= 0), PRIMARY KEY ("Cust ID", "Region")))",
        R"(CREATE TABLE "order" ("select" INTEGER PRIMARY KEY,
             "parent" INTEGER REFERENCES "order"("select") ON DELETE CASCADE,
             cust INTEGER, region VARCHAR(10), note VARCHAR(50) DEFAULT 'n/a',
             FOREIGN KEY (cust, region) REFERENCES "Customer Info"("Cust ID", "Region")
               ON UPDATE CASCADE ON DELETE SET NULL))",
        R"(CREATE UNIQUE INDEX "ix order note" ON "order"(note, cust))",
        R"(CREATE INDEX ix_region ON "order"(region))",
        R"(CREATE VIEW "v'orders" AS SELECT o."select", c."Region" FROM "order" o JOIN "Customer Info" c
             ON c."Cust ID" = o.cust)",
        R"(CREATE VIEW "v'regions" AS SELECT TRIM(LEADING 'x' FROM "Region") AS r FROM "v'orders" WHERE "select" > 0)",
        // A key to a unique key; checks on names with dots and on tables whose names differ in case.
        R"(CREATE TABLE "code list" (id INTEGER PRIMARY KEY, code VARCHAR(10) NOT NULL UNIQUE,
             "p.q" INTEGER CHECK ("p.q" < 5), p INTEGER CHECK (p > 100), CHECK (p < 200)))",
        R"(CREATE TABLE "ref" (id INTEGER PRIMARY KEY, code VARCHAR(10), CONSTRAINT "order.note" CHECK (id > 0 AND code <> 'x'),
             CONSTRAINT fk_ref_code FOREIGN KEY (code) REFERENCES "code list"(code)))",
    };
    if (engine == ServerDatabase::Engine::PostgreSQL) {
        // Check names are unique per table only.
        sql.push_back(R"(CREATE TABLE "Twin" (x INTEGER CONSTRAINT positive CHECK (x > 1)))");
        sql.push_back(R"(CREATE TABLE twin (x INTEGER CONSTRAINT positive CHECK (x > 2)))");
    } else {
        sql.push_back(R"(CREATE TABLE "Twin" (x INTEGER CHECK (x > 1)))");
        sql.push_back(R"(CREATE TABLE twin (x INTEGER CHECK (x > 2)))");
    }
    if (engine == ServerDatabase::Engine::MariaDB)
        for (auto& s : sql) std::replace(s.begin(), s.end(), '"', '`');
    return sql;
}

class ServerImport : public ::testing::TestWithParam<ServerDatabase::Engine> {};

xml::Node table(const xml::Document& d, const std::string& name)
{
    return d.selectSingleNode("/DATABASE/TABLE[@Name=" + xml::xpathLiteral(name) + "]");
}

xml::Node column(const xml::Node& t, const std::string& name)
{
    return t.selectSingleNode("COLUMN[@Name=" + xml::xpathLiteral(name) + "]");
}

// The document read with whole-database rowsets and with per-table reading, which must agree
// and report no error.
void importBothWays(const std::string& connection, xml::Document& d)
{
    ErrorCapture errors;
    std::string documents[2];
    for (int i = 0; i < 2; ++i) {
        cADODB reader;
        if (i == 1) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        reader.ConnectionString = connection;
        documents[i] = reader.OpenDalvDatabase() && reader.GenerateXML() ? reader.oResultXML.xml() : std::string();
        EXPECT_FALSE(documents[i].empty());
    }
    for (const auto& e : errors.entries) ADD_FAILURE() << e.source << ": " << e.description;
    EXPECT_EQ(documents[0], documents[1]) << "whole-database and per-table reading differ";
    EXPECT_TRUE(d.loadXML(documents[0]));
}

// The connection string with another login.
std::string asUser(const std::string& connection, const std::string& user, const std::string& password)
{
    const std::string text = std::regex_replace(connection, std::regex("UID=[^;]*"), "UID=" + user);
    return std::regex_replace(text, std::regex("PWD=(\\{([^}]|\\}\\})*\\}|[^;]*)"), "PWD=" + password);
}

}  // namespace

TEST_P(ServerImport, ListsKeysIndexesViewsAndRules)
{
    ServerDatabase database(GetParam());
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    {
        db::Connection c;
        c.open(database.connectionString());
        run(c, serverSchema(GetParam()));
    }
    xml::Document d;
    importBothWays(database.connectionString(), d);
    ASSERT_TRUE(d.documentElement());
    EXPECT_EQ(d.count("/DATABASE/TABLE"), 6);

    xml::Node customers = table(d, "Customer Info");
    xml::Node orders = table(d, "order");
    ASSERT_TRUE(customers);
    ASSERT_TRUE(orders);

    // Composite primary key: both columns carry the key's name.
    const std::string pk = column(customers, "Cust ID").attribute("Primary_Key");
    EXPECT_FALSE(pk.empty());
    EXPECT_EQ(column(customers, "Region").attribute("Primary_Key"), pk);
    EXPECT_EQ(column(customers, "O'Brien").attribute("Primary_Key"), "");
    EXPECT_EQ(column(customers, "O'Brien").attribute("Null_Allowed"), "True");
    EXPECT_EQ(column(customers, "Region").attribute("Null_Allowed"), "False");
    EXPECT_NE(column(customers, "Region").attribute("Column_Default").find("north"), std::string::npos);
    EXPECT_EQ(column(customers, "Region").attribute("Length"), "10");
    EXPECT_NE(column(customers, "Größe").attribute("Check_Constraint").find(">="), std::string::npos);
    EXPECT_EQ(column(customers, "Region").attribute("Check_Constraint"), "");

    // The two-column key from "order" stands under the referenced table, one element per pair.
    auto fks = customers.selectNodes("FOREIGNKEY");
    ASSERT_EQ(fks.size(), 2u);
    EXPECT_EQ(fks[0].attribute("Related_Column"), "cust");
    EXPECT_EQ(fks[0].attribute("Primary_Key_Column"), "Cust ID");
    EXPECT_EQ(fks[1].attribute("Related_Column"), "region");
    EXPECT_EQ(fks[1].attribute("Primary_Key_Column"), "Region");
    for (const auto& fk : fks) {
        EXPECT_EQ(fk.attribute("Primary_Key_Table"), "Customer Info");
        EXPECT_EQ(fk.attribute("Foreign_Key_Table"), "order");
        EXPECT_EQ(fk.attribute("Update_Rule"), "CASCADE");
        EXPECT_EQ(fk.attribute("Delete_Rule"), "SET NULL");
        EXPECT_EQ(fk.attribute("Report"), "1");
        EXPECT_EQ(fk.attribute("Migrate"), "0");
    }
    // Self reference.
    xml::Node self = orders.selectSingleNode("FOREIGNKEY[@Related_Column='parent']");
    ASSERT_TRUE(self);
    EXPECT_EQ(self.attribute("Primary_Key_Column"), "select");
    EXPECT_EQ(self.attribute("Delete_Rule"), "CASCADE");

    // Unique indexes only, with all their columns in key order.
    xml::Node ix = orders.selectSingleNode("INDEX[@Name='ix order note']");
    ASSERT_TRUE(ix);
    EXPECT_EQ(ix.attribute("Column_Name"), "note,cust");
    EXPECT_EQ(ix.attribute("Table_Name"), "order");
    EXPECT_FALSE(orders.selectSingleNode("INDEX[@Name='ix_region']"));

    xml::Node view = d.selectSingleNode("/DATABASE/VIEW[@Name=\"v'orders\"]");
    ASSERT_TRUE(view);
    EXPECT_EQ(view.attribute("Report"), "1");
    EXPECT_TRUE(view.selectSingleNode("COLUMN[@Name='select' and @SourceTable='order']"));
    EXPECT_TRUE(view.selectSingleNode("COLUMN[@Name='Region' and @SourceTable='Customer Info']"));
    // A view of a view.
    EXPECT_EQ(d.count("/DATABASE/VIEW[@Name=\"v'regions\"]/COLUMN[@SourceTable=\"v'orders\"]"), 2);

    xml::Node codes = table(d, "code list");
    xml::Node toUnique = codes.selectSingleNode("FOREIGNKEY");
    ASSERT_TRUE(toUnique);
    EXPECT_EQ(toUnique.attribute("Name") + " " + toUnique.attribute("Related_Column") + " " +
                  toUnique.attribute("Primary_Key_Column") + " " + toUnique.attribute("Foreign_Key_Table"),
              "fk_ref_code code code ref");
    auto check = [&d](const char* t, const char* c) { return column(table(d, t), c).attribute("Check_Constraint"); };
    EXPECT_NE(check("code list", "p.q").find("< 5"), std::string::npos) << check("code list", "p.q");
    EXPECT_NE(check("code list", "p").find("> 100"), std::string::npos) << check("code list", "p");
    EXPECT_NE(check("code list", "p").find(") AND ("), std::string::npos) << check("code list", "p");
    EXPECT_NE(check("code list", "p").find("< 200"), std::string::npos) << check("code list", "p");
    EXPECT_EQ(check("order", "note"), "");
    // A table's check stands on each column it names.
    EXPECT_NE(check("ref", "id").find("> 0"), std::string::npos) << check("ref", "id");
    EXPECT_EQ(check("ref", "code"), check("ref", "id"));
    EXPECT_NE(check("Twin", "x").find("> 1"), std::string::npos) << check("Twin", "x");
    EXPECT_NE(check("twin", "x").find("> 2"), std::string::npos) << check("twin", "x");
}

// A role that owns nothing still reads the checks and view columns of the tables it may read.
TEST(ServerImportPostgreSQL, ARoleOwningNothingReadsChecksAndViewColumns)
{
    ServerDatabase database(ServerDatabase::Engine::PostgreSQL);
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    const std::string role = "reader_" + database.name();
    db::Connection admin;
    admin.open(database.connectionString());
    std::vector<std::string> sql = serverSchema(ServerDatabase::Engine::PostgreSQL);
    sql.push_back("CREATE ROLE " + role + " LOGIN PASSWORD 'r-pw'");
    sql.push_back("GRANT SELECT ON ALL TABLES IN SCHEMA public TO " + role);
    run(admin, sql);
    struct DropRole {
        db::Connection& c;
        std::string role;
        ~DropRole() { run(c, {"DROP OWNED BY " + role, "DROP ROLE " + role}); }
    } dropRole{admin, role};

    cADODB reader;
    reader.ConnectionString = asUser(database.connectionString(), role, "r-pw");
    ASSERT_TRUE(reader.OpenDalvDatabase());
    ASSERT_TRUE(reader.GenerateXML());
    const xml::Document& d = reader.oResultXML;
    EXPECT_NE(column(table(d, "Customer Info"), "Größe").attribute("Check_Constraint").find(">="), std::string::npos);
    EXPECT_TRUE(d.selectSingleNode("/DATABASE/VIEW[@Name=\"v'orders\"]/COLUMN[@Name='select' and @SourceTable='order']"));
}

// Tables of one name in two schemas stay apart, written with their schema; FKs name them so.
TEST(ServerImportPostgreSQL, SameNameInTwoSchemasStaysApart)
{
    ServerDatabase database(ServerDatabase::Engine::PostgreSQL);
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    {
        db::Connection c;
        c.open(database.connectionString());
        std::vector<std::string> sql = serverSchema(ServerDatabase::Engine::PostgreSQL);
        sql.push_back("CREATE SCHEMA audit");
        sql.push_back(R"(CREATE TABLE audit."order" (stamp TIMESTAMP, who VARCHAR(20) UNIQUE, cust INTEGER,
            region VARCHAR(10), FOREIGN KEY (cust, region) REFERENCES "Customer Info"("Cust ID", "Region")))");
        // A name that reads like another schema's qualified one.
        sql.push_back(R"(CREATE TABLE public."audit.order" (z INTEGER))");
        // A key to a partitioned table, which the server copies for each partition.
        sql.push_back("CREATE TABLE part (id INTEGER, d DATE, PRIMARY KEY (id, d)) PARTITION BY RANGE (d)");
        sql.push_back("CREATE TABLE part_1 PARTITION OF part FOR VALUES FROM ('2020-01-01') TO ('2021-01-01')");
        sql.push_back("CREATE TABLE part_note (pid INTEGER, pd DATE, FOREIGN KEY (pid, pd) REFERENCES part (id, d))");
        run(c, sql);
    }
    xml::Document d;
    importBothWays(database.connectionString(), d);
    ASSERT_TRUE(d.documentElement());
    EXPECT_EQ(d.count("/DATABASE/TABLE"), 11);
    EXPECT_EQ(d.count("/DATABASE/TABLE[@Name='audit.order']"), 1);
    EXPECT_EQ(d.count("/DATABASE/TABLE[@Name='public.audit.order']/COLUMN[@Name='z']"), 1);
    EXPECT_EQ(d.count("/DATABASE/TABLE[@Name='part']/FOREIGNKEY[@Foreign_Key_Table='part_note']"), 2);
    EXPECT_EQ(d.count("/DATABASE/TABLE/FOREIGNKEY[@Foreign_Key_Table='part_note']"), 2);
    xml::Node mine = table(d, "public.order"), theirs = table(d, "audit.order");
    ASSERT_TRUE(mine);
    ASSERT_TRUE(theirs);
    EXPECT_TRUE(table(d, "Customer Info"));
    EXPECT_EQ(mine.count("COLUMN"), 5);
    EXPECT_EQ(theirs.count("COLUMN"), 4);
    EXPECT_FALSE(column(theirs, "select"));
    EXPECT_EQ(theirs.count("INDEX"), 1);
    EXPECT_EQ(theirs.selectSingleNode("INDEX").attribute("Table_Name"), "audit.order");
    EXPECT_EQ(column(mine, "select").attribute("Primary_Key"), "order_pkey");
    EXPECT_EQ(d.count("/DATABASE/TABLE/FOREIGNKEY[@Foreign_Key_Table='audit.order']"), 2);
    EXPECT_EQ(d.count("/DATABASE/TABLE/FOREIGNKEY[@Primary_Key_Table='public.order']"), 1);  // self reference
    EXPECT_TRUE(d.selectSingleNode("/DATABASE/VIEW/COLUMN[@SourceTable='public.order']"));
}

TEST_P(ServerImport, ServerGoneMidImportFails)
{
    ServerDatabase database(GetParam());
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    {
        db::Connection c;
        c.open(database.connectionString());
        run(c, serverSchema(GetParam()));
    }
    db::Connection admin;
    admin.open(serverConnection(GetParam()));
    ErrorCapture errors;
    cADODB reader;
    EventLog log;
    log.attach(reader);
    reader.ConnectionString = database.connectionString();
    ASSERT_TRUE(reader.OpenDalvDatabase());
    const bool pg = GetParam() == ServerDatabase::Engine::PostgreSQL;
    db::Recordset id = reader.cDalvane.execute(pg ? "SELECT pg_backend_pid()" : "SELECT CONNECTION_ID()");
    const std::string session = id.field(0).toString();
    log.onEvent = [&](const Event& e) {
        if (e.message != "Importing Customer Info") return;
        admin.execute(pg ? "SELECT pg_terminate_backend(" + session + ")" : "KILL CONNECTION " + session);
    };
    EXPECT_FALSE(reader.GenerateXML());
    EXPECT_EQ(errors.entries.size(), 1u);
    EXPECT_EQ(log.count("Database imported"), 0);
}

// A MariaDB connection that names no database has nothing to read: the import fails and says so.
TEST(ServerImportMariaDB, AConnectionNamingNoDatabaseFails)
{
    const std::string server = serverConnection(ServerDatabase::Engine::MariaDB);
    if (server.empty()) GTEST_SKIP() << "database server not configured";
    ErrorCapture errors;
    cADODB reader;
    reader.ConnectionString = std::regex_replace(server, std::regex("Database=[^;]*;?"), "");
    ASSERT_TRUE(reader.OpenDalvDatabase());
    EXPECT_FALSE(reader.GenerateXML());
    ASSERT_EQ(errors.entries.size(), 1u);
    EXPECT_NE(errors.entries[0].description.find("names no database"), std::string::npos);
}

// A MariaDB user may read a key but not its rules: the key is still read, its rules unknown.
TEST(ServerImportMariaDB, AUserSeeingNoRulesStillReadsTheKeys)
{
    ServerDatabase database(ServerDatabase::Engine::MariaDB);
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    const std::string user = "r" + std::to_string(::getpid());
    db::Connection admin;
    admin.open(database.connectionString());
    run(admin, {"CREATE TABLE cust (id INT PRIMARY KEY)",
                "CREATE TABLE ord (id INT PRIMARY KEY, c INT, CONSTRAINT fk_ord_cust FOREIGN KEY (c) REFERENCES cust(id))",
                "CREATE USER " + user + "@'127.0.0.1' IDENTIFIED BY 'r-pw'",
                "GRANT SELECT ON " + database.name() + ".cust TO " + user + "@'127.0.0.1'",
                "GRANT SELECT ON " + database.name() + ".ord TO " + user + "@'127.0.0.1'"});
    struct DropUser {
        db::Connection& c;
        std::string user;
        ~DropUser() { run(c, {"DROP USER " + user + "@'127.0.0.1'"}); }
    } dropUser{admin, user};

    cADODB reader;
    reader.ConnectionString = asUser(database.connectionString(), user, "r-pw");
    ASSERT_TRUE(reader.OpenDalvDatabase());
    ASSERT_TRUE(reader.GenerateXML());
    const xml::Node fk = table(reader.oResultXML, "cust").selectSingleNode("FOREIGNKEY");
    ASSERT_TRUE(fk);
    EXPECT_EQ(fk.attribute("Name") + " " + fk.attribute("Related_Column") + " " + fk.attribute("Delete_Rule"),
              "fk_ord_cust c ");
}

INSTANTIATE_TEST_SUITE_P(Engines, ServerImport,
                         ::testing::Values(ServerDatabase::Engine::PostgreSQL, ServerDatabase::Engine::MariaDB),
                         [](const auto& info) {
                             return info.param == ServerDatabase::Engine::PostgreSQL ? std::string("PostgreSQL")
                                                                                     : std::string("MariaDB");
                         });

// A catalogue large enough for the per-table rowsets to be spread over extra connections (or,
// where the connection serves them whole, read with one query each). Names with quotes and
// non-ASCII letters, two-column keys referring to the previous table and to the table itself,
// unique and non-unique two-column indexes.
TEST_P(ServerImport, LargeCatalogueReadAheadMatchesPerTableReading)
{
    ServerDatabase database(GetParam());
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    const int tables = 160;
    const bool pg = GetParam() == ServerDatabase::Engine::PostgreSQL;
    auto q = [pg](const std::string& name) { return pg ? "\"" + name + "\"" : "`" + name + "`"; };
    auto name = [](int i) { return (i % 4 == 0 ? "Tä'b " : "t") + std::to_string(i); };
    {
        db::Connection c;
        c.open(database.connectionString());
        for (int i = 1; i <= tables; ++i) {
            const std::string t = q(name(i)), ref = q(name(i > 1 ? i - 1 : 1));
            c.execute("CREATE TABLE " + t +
                      " (id INTEGER NOT NULL, k INTEGER NOT NULL, ref_id INTEGER, ref_k INTEGER, parent INTEGER, "
                      "parent_k INTEGER, code VARCHAR(20) NOT NULL, qty INTEGER DEFAULT 0, PRIMARY KEY (id, k), "
                      "FOREIGN KEY (ref_id, ref_k) REFERENCES " + ref + "(id, k) ON UPDATE CASCADE ON DELETE SET NULL, "
                      "FOREIGN KEY (parent, parent_k) REFERENCES " + t + "(id, k))");
            c.execute("CREATE UNIQUE INDEX " + q("ux'" + std::to_string(i)) + " ON " + t + "(code, qty)");
            c.execute("CREATE INDEX " + q("ix " + std::to_string(i)) + " ON " + t + "(qty, code)");
        }
    }
    std::string documents[2];
    for (int i = 0; i < 2; ++i) {
        ErrorCapture errors;
        cADODB reader;
        if (i == 1) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        reader.ConnectionString = database.connectionString();
        ASSERT_TRUE(reader.OpenDalvDatabase());
        if (i == 0) {
            EXPECT_TRUE(reader.cDalvane.readsWholeCatalogue(db::adSchemaForeignKeys));
        }
        ASSERT_TRUE(reader.GenerateXML());
        EXPECT_TRUE(errors.entries.empty());
        documents[i] = reader.oResultXML.xml();
    }
    EXPECT_EQ(documents[0], documents[1]);
    xml::Document d;
    ASSERT_TRUE(d.loadXML(documents[0]));
    EXPECT_EQ(d.count("/DATABASE/TABLE"), tables);
    EXPECT_EQ(d.count("/DATABASE/TABLE/INDEX[@Column_Name='code,qty']"), tables);
    EXPECT_EQ(d.count("/DATABASE/TABLE/INDEX"), 2 * tables);  // the keys and the unique indexes
    EXPECT_EQ(d.count("/DATABASE/TABLE/FOREIGNKEY"), 4 * tables);
    EXPECT_EQ(d.count("/DATABASE/TABLE/COLUMN[@Primary_Key!='']"), 2 * tables);
    const xml::Node t7 = table(d, "t7");
    ASSERT_TRUE(t7);
    EXPECT_EQ(t7.selectNodes("FOREIGNKEY[@Foreign_Key_Table=\"Tä'b 8\"]").size(), 2u);
    EXPECT_EQ(t7.selectNodes("FOREIGNKEY[@Foreign_Key_Table='t7']").size(), 2u);
    EXPECT_TRUE(t7.selectSingleNode("FOREIGNKEY[@Related_Column='ref_k' and @Primary_Key_Column='k' and "
                                    "@Update_Rule='CASCADE' and @Delete_Rule='SET NULL']"));
    EXPECT_TRUE(table(d, "Tä'b 8").selectSingleNode("INDEX[@Name=\"ux'8\"]"));
}

// Schemas like real applications have, every column's facts compared with what the engine's
// catalogue says; rules, views and names the catalogue tells apart.
TEST_P(ServerImport, ColumnFactsAreTheCatalogues)
{
    ServerDatabase database(GetParam());
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    const bool pg = GetParam() == ServerDatabase::Engine::PostgreSQL;
    db::Connection c;
    c.open(database.connectionString());
    if (pg)
        run(c, {"CREATE TYPE mood AS ENUM ('sad', 'ok')", "CREATE DOMAIN posint AS numeric(7,3) CHECK (VALUE > 0)",
                "CREATE TABLE p (id serial PRIMARY KEY, ts timestamp NOT NULL, tz timestamptz, b boolean DEFAULT true, "
                "m mood, arr int[], tags text[], q posint, tv tsvector, n numeric(5,2), nn numeric, ns numeric(5,-2), t text, "
                "v varchar(30) DEFAULT 'Y', ch char(3), by bytea, d date, gi int GENERATED BY DEFAULT AS IDENTITY, "
                "g numeric GENERATED ALWAYS AS (n * 2) STORED)",
                R"(CREATE TABLE "T" (id int, "ID" int CONSTRAINT "T_key" PRIMARY KEY))",
                R"(CREATE TABLE t (id int CONSTRAINT t_key PRIMARY KEY, "ID" int))",
                R"(CREATE TABLE "%pct" (id int PRIMARY KEY REFERENCES p(id) ON DELETE RESTRICT, r int REFERENCES "T"("ID") ON DELETE CASCADE))",
                "CREATE MATERIALIZED VIEW mv AS SELECT id, ts FROM p",
                R"(CREATE TABLE "+k" ("+id" int PRIMARY KEY, "a+b" int, " b" int, UNIQUE ("a+b", " b")))",
                "CREATE TABLE nk (a int NOT NULL)", "CREATE UNIQUE INDEX nk_pkey ON nk (a)", "CREATE TABLE uk (a int NOT NULL UNIQUE)"});
    else
        run(c, {"CREATE TABLE p (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, ts TIMESTAMP NOT NULL DEFAULT "
                "CURRENT_TIMESTAMP, dt DATETIME, e ENUM('a','b''c') NOT NULL DEFAULT 'a', s SET('x','y'), y YEAR, "
                "tx TEXT, n DECIMAL(5,2), v VARCHAR(30) DEFAULT 'Y', ch CHAR(3), bl BLOB, ui INT UNSIGNED, "
                "lt LONGTEXT, bt BIT(1), vg INT AS (ui + 1) VIRTUAL, t3 TIME(3), tt TINYTEXT, mt MEDIUMTEXT, "
                "tb TINYBLOB, mb MEDIUMBLOB, lb LONGBLOB, j JSON)",
                "CREATE TABLE uk (a INT NOT NULL UNIQUE)",  // InnoDB clusters on it; no primary key
                "CREATE TABLE `%pct` (id INT PRIMARY KEY, r INT, CONSTRAINT fk_pct FOREIGN KEY (id) REFERENCES p(id) "
                "ON DELETE RESTRICT)",
                "CREATE TABLE a_b (ab INT PRIMARY KEY)", "CREATE TABLE axb (xb INT PRIMARY KEY)",
                "CREATE TABLE `+k` (`+id` INT PRIMARY KEY, `a+b` INT, ` b` INT, UNIQUE (`a+b`, ` b`))"});
    // Another database's table of the same name, with a key to this one's (dropped first).
    std::optional<ServerDatabase> other;
    if (!pg) {
        other.emplace(ServerDatabase::Engine::MariaDB);
        db::Connection o;
        o.open(other->connectionString());
        run(o, {"CREATE TABLE p (id INT, FOREIGN KEY (id) REFERENCES " + database.name() + ".p(id))"});
    }

    xml::Document d;
    importBothWays(database.connectionString(), d);
    ASSERT_TRUE(d.documentElement());

    // type name, length (or "" where the catalogue has none to compare), scale, nullable, default
    const std::string facts =
        pg ? "SELECT c.table_name, c.column_name, CASE WHEN t.typcategory = 'A' THEN "
             "(SELECT e.typname FROM pg_type e WHERE e.oid = t.typelem) || '[]' ELSE t.typname END, "
             "CASE WHEN c.character_maximum_length IS NOT NULL THEN c.character_maximum_length::text "
             "WHEN c.numeric_precision_radix = 10 OR c.data_type = 'numeric' THEN coalesce(c.numeric_precision, 0)::text "
             "WHEN c.numeric_precision IS NULL AND c.datetime_precision IS NULL THEN '0' ELSE '' END, "
             // (the type's own text: PostgreSQL 15's numeric_scale gives a negative scale as 2048 more)
             "CASE WHEN c.data_type = 'numeric' THEN coalesce(substring(pg_catalog.format_type(a.atttypid, "
             "a.atttypmod) from ',(-?[0-9]+)\\)$'), c.numeric_scale::text) ELSE '' END, c.is_nullable, "
             "CASE WHEN c.is_identity = 'YES' THEN 'GENERATED ' || c.identity_generation || ' AS IDENTITY' "
             "WHEN c.is_generated = 'ALWAYS' THEN 'GENERATED ALWAYS AS (' || c.generation_expression || ') STORED' "
             "ELSE c.column_default END "
             "FROM information_schema.columns c JOIN pg_class r ON r.relname = c.table_name "
             "AND r.relnamespace = 'public'::regnamespace JOIN pg_attribute a ON a.attrelid = r.oid "
             "AND a.attname = c.column_name JOIN pg_type t ON t.oid = a.atttypid WHERE c.table_schema = 'public' "
             "AND r.relkind = 'r'"
           : "SELECT TABLE_NAME, COLUMN_NAME, CASE WHEN DATA_TYPE IN ('enum', 'set') THEN COLUMN_TYPE "
             "WHEN DATA_TYPE = 'bit' THEN 'YesNo' "
             "ELSE TRIM(REGEXP_REPLACE(COLUMN_TYPE, '\\\\([0-9,]*\\\\)', '')) END, "
             "CASE WHEN CHARACTER_MAXIMUM_LENGTH IS NOT NULL THEN CHARACTER_MAXIMUM_LENGTH "
             "WHEN DATA_TYPE = 'decimal' THEN NUMERIC_PRECISION WHEN DATETIME_PRECISION IS NOT NULL THEN "
             "DATETIME_PRECISION ELSE '' END, "
             "CASE WHEN DATA_TYPE = 'decimal' THEN NUMERIC_SCALE ELSE '' END, IS_NULLABLE, "
             "CASE WHEN GENERATION_EXPRESSION IS NOT NULL THEN "
             "CONCAT('GENERATED ALWAYS AS (', GENERATION_EXPRESSION, ') VIRTUAL') ELSE NULLIF(COLUMN_DEFAULT, 'NULL') END, "
             "EXTRA = 'auto_increment' FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = DATABASE()";
    int compared = 0;
    for (db::Recordset rs = c.execute(facts); !rs.eof(); rs.moveNext(), ++compared) {
        const std::string t = rs.field(0).toString(), name = rs.field(1).toString();
        SCOPED_TRACE(t + "." + name);
        const xml::Node col = column(table(d, t), name);
        ASSERT_TRUE(col);
        EXPECT_EQ(col.attribute("Datatype"), rs.field(2).toString());
        if (!rs.field(3).toString().empty()) {
            EXPECT_EQ(col.attribute("Length"), rs.field(3).toString());
        }
        EXPECT_EQ(col.attribute("Scale"), rs.field(4).toString());
        EXPECT_EQ(col.attribute("Null_Allowed"), rs.field(5).toString() == "NO" ? "False" : "True");
        EXPECT_EQ(col.attribute("Column_Default"), rs.field(6).isNull() ? "" : rs.field(6).toString());
        // AUTO_INCREMENT is a fact of its own, never a default.
        if (!pg) EXPECT_EQ(col.attribute("Auto_Increment"), rs.field(7).toInt() == 1 ? "True" : "");
    }
    EXPECT_GE(compared, pg ? 22 : 24);
    // No key where the catalogue has none: an index named like a key, a NOT NULL unique key.
    EXPECT_EQ(d.count("/DATABASE/TABLE[@Name='nk' or @Name='uk']/COLUMN[@Primary_Key!='']"), 0);
    EXPECT_EQ(table(d, "uk").count("INDEX[@Column_Name='a']"), 1);

    // RESTRICT is not NO ACTION; a name with '%' is no pattern; key and index columns keep their '+' and blanks.
    xml::Node restrict = table(d, "p").selectSingleNode("FOREIGNKEY[@Foreign_Key_Table='%pct']");
    ASSERT_TRUE(restrict);
    EXPECT_EQ(restrict.attribute("Delete_Rule"), "RESTRICT");
    EXPECT_EQ(table(d, "p").count("FOREIGNKEY"), 1);
    EXPECT_EQ(column(table(d, "%pct"), "id").attribute("Primary_Key").empty(), false);
    EXPECT_EQ(column(table(d, "+k"), "+id").attribute("Primary_Key").empty(), false);
    EXPECT_EQ(table(d, "+k").count("INDEX[@Column_Name='a+b, b']"), 1);
    EXPECT_EQ(d.documentElement().attribute("Indexes_Read"), "Unique");
    if (pg) {
        // "T" and t, "ID" and id: different objects, each key on its own column.
        EXPECT_EQ(column(table(d, "T"), "ID").attribute("Primary_Key"), "T_key");
        EXPECT_EQ(column(table(d, "T"), "id").attribute("Primary_Key"), "");
        EXPECT_EQ(column(table(d, "t"), "id").attribute("Primary_Key"), "t_key");
        EXPECT_EQ(column(table(d, "t"), "ID").attribute("Primary_Key"), "");
        ASSERT_EQ(table(d, "T").selectNodes("FOREIGNKEY").size(), 1u);
        EXPECT_TRUE(table(d, "t").selectNodes("FOREIGNKEY").empty());
        xml::Node mv = d.selectSingleNode("/DATABASE/VIEW[@Name='mv']");
        ASSERT_TRUE(mv);
        EXPECT_TRUE(mv.selectSingleNode("COLUMN[@Name='ts' and @SourceTable='p']"));
    } else {
        EXPECT_EQ(column(table(d, "a_b"), "ab").attribute("Primary_Key"), "PRIMARY");
        EXPECT_EQ(table(d, "axb").selectNodes("COLUMN").size(), 1u);
    }
}
