// The reader against PostgreSQL and MariaDB (skipped when scripts/dbservers.sh has not set
// their connection strings).
#include "ImportTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    };
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
    ErrorCapture errors;
    std::string documents[2];
    for (int i = 0; i < 2; ++i) {
        cADODB reader;
        if (i == 1) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        reader.ConnectionString = database.connectionString();
        ASSERT_TRUE(reader.OpenDalvDatabase());
        ASSERT_TRUE(reader.GenerateXML());
        documents[i] = reader.oResultXML.xml();
    }
    for (const auto& e : errors.entries) ADD_FAILURE() << e.source << ": " << e.description;
    EXPECT_EQ(documents[0], documents[1]) << "whole-database and per-table reading differ";

    xml::Document d;
    ASSERT_TRUE(d.loadXML(documents[0]));
    EXPECT_EQ(d.count("/DATABASE/TABLE"), 2);

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
    if (GetParam() == ServerDatabase::Engine::PostgreSQL) {  // MariaDB keeps no constraint-column usage
        EXPECT_NE(column(customers, "Größe").attribute("Check_Constraint").find(">="), std::string::npos);
    }
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
    if (GetParam() == ServerDatabase::Engine::PostgreSQL) {
        EXPECT_TRUE(view.selectSingleNode("COLUMN[@Name='select' and @SourceTable='order']"));
        EXPECT_TRUE(view.selectSingleNode("COLUMN[@Name='Region' and @SourceTable='Customer Info']"));
    }
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

INSTANTIATE_TEST_SUITE_P(Engines, ServerImport,
                         ::testing::Values(ServerDatabase::Engine::PostgreSQL, ServerDatabase::Engine::MariaDB),
                         [](const auto& info) {
                             return info.param == ServerDatabase::Engine::PostgreSQL ? std::string("PostgreSQL")
                                                                                     : std::string("MariaDB");
                         });

// A catalogue large enough for the per-table rowsets to be spread over extra connections.
TEST_P(ServerImport, LargeCatalogueReadAheadMatchesPerTableReading)
{
    ServerDatabase database(GetParam());
    if (database.connectionString().empty()) GTEST_SKIP() << "database server not configured";
    const int tables = 160;
    {
        db::Connection c;
        c.open(database.connectionString());
        std::string script;
        for (int i = 1; i <= tables; ++i) {
            const std::string t = "t" + std::to_string(i), ref = "t" + std::to_string(i > 1 ? i - 1 : 1);
            c.execute("CREATE TABLE " + t + " (id INTEGER PRIMARY KEY, ref_id INTEGER REFERENCES " + ref +
                      "(id), code VARCHAR(20) NOT NULL, qty INTEGER DEFAULT 0)");
            c.execute("CREATE UNIQUE INDEX ux_" + t + " ON " + t + "(code, qty)");
        }
    }
    std::string documents[2];
    for (int i = 0; i < 2; ++i) {
        ErrorCapture errors;
        cADODB reader;
        if (i == 1) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        reader.ConnectionString = database.connectionString();
        ASSERT_TRUE(reader.OpenDalvDatabase());
        ASSERT_TRUE(reader.GenerateXML());
        EXPECT_TRUE(errors.entries.empty());
        documents[i] = reader.oResultXML.xml();
    }
    EXPECT_EQ(documents[0], documents[1]);
    xml::Document d;
    ASSERT_TRUE(d.loadXML(documents[0]));
    EXPECT_EQ(d.count("/DATABASE/TABLE"), tables);
    EXPECT_EQ(d.count("/DATABASE/TABLE/INDEX[@Column_Name='code,qty']"), tables);
    EXPECT_EQ(d.count("/DATABASE/TABLE/FOREIGNKEY"), tables);
    EXPECT_EQ(d.count("/DATABASE/TABLE[@Name='t7']/FOREIGNKEY[@Foreign_Key_Table='t8']"), 1);
}
