#include "ImportTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace importtest;

namespace {

const std::vector<std::string> kSqliteSchema = {
    R"(CREATE TABLE "Customer Info" ("Cust ID" INTEGER NOT NULL, "Region" VARCHAR(10) NOT NULL DEFAULT 'north',
         "O'Brien" TEXT, "Größe" NUMERIC(8,2) DEFAULT 0, PRIMARY KEY ("Cust ID", "Region")))",
    R"(CREATE TABLE "order" ("select" INTEGER PRIMARY KEY,
         "parent" INTEGER REFERENCES "order"("select") ON DELETE CASCADE,
         cust INTEGER, region VARCHAR(10), note TEXT DEFAULT 'n/a',
         FOREIGN KEY (cust, region) REFERENCES "Customer Info"("Cust ID", "Region")
           ON UPDATE CASCADE ON DELETE SET NULL))",
    R"(CREATE UNIQUE INDEX "ix order note" ON "order"(note, cust))",
    R"(CREATE INDEX ix_region ON "order"(region))",
    R"(CREATE TABLE "Straße" (id INTEGER PRIMARY KEY, "Zoë" TEXT))",
    R"(CREATE VIEW "v'orders" AS SELECT o."select", c."Region" FROM "order" o JOIN "Customer Info" c
         ON c."Cust ID" = o.cust)",
    R"(CREATE VIEW "Straßen" AS SELECT id FROM "Straße")",
};

std::string sqliteConnection(const std::string& path) { return "Driver=SQLite3;Database=" + path; }

std::string makeSqlite(const testsupport::TempDir& dir, const std::vector<std::string>& schema,
                       const std::string& name = "shop.db")
{
    std::string path = dir.file(name);
    db::Connection c;
    c.open(sqliteConnection(path));
    run(c, schema);
    return path;
}

// Canonical text of a document: parsed without white space, serialised again.
std::string canonical(const std::string& text)
{
    xml::Document d;
    EXPECT_TRUE(d.loadXML(text)) << d.parseError();
    return d.xml();
}

void expectDocument(const xml::Document& doc, const std::string& fixture)
{
    const std::string expectedPath = testsupport::fixturePath("import/" + fixture);
    xml::Document expected;
    ASSERT_TRUE(expected.load(expectedPath)) << expectedPath << ": " << expected.parseError();
    if (std::getenv("DALV_WRITE_EXPECTED")) doc.save(expectedPath + ".actual");
    EXPECT_EQ(doc.xml(), expected.xml());
}

}  // namespace

TEST(cADODB, SqliteDocumentListsEveryObject)
{
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    ErrorCapture errors;
    const std::string path = makeSqlite(dir, kSqliteSchema);

    cADODB reader;
    EventLog log;
    log.attach(reader);
    reader.ConnectionString = sqliteConnection(path);
    reader.DatabaseName = "shop";
    ASSERT_TRUE(reader.OpenDalvDatabase());
    ASSERT_TRUE(reader.GenerateXML());
    EXPECT_TRUE(errors.entries.empty());
    EXPECT_TRUE(prompts->messages.empty());
    expectDocument(reader.oResultXML, "sqlite_shop.xml");

    ASSERT_FALSE(log.events.empty());
    EXPECT_EQ(log.events.front().status, 1);
    EXPECT_EQ(log.events.front().message, "Connecting to database shop");
    EXPECT_EQ(log.events[1].message, "Initialing XML...");
    EXPECT_EQ(log.events.back().status, 4);
    EXPECT_EQ(log.events.back().message, "Database imported");
    for (const auto& e : log.events) EXPECT_EQ(e.increment, 2);
    EXPECT_EQ(log.count("Fetching properties of column "), 11);
    EXPECT_EQ(log.count("Checking for Foreign key(s) in "), 3);
}

TEST(cADODB, WholeDatabaseReadingWritesTheSameDocumentAsPerTable)
{
    testsupport::TempDir dir;
    const std::string path = makeSqlite(dir, kSqliteSchema);
    std::string docs[2];
    std::vector<Event> events[2];
    for (int i = 0; i < 2; ++i) {
        cADODB reader;
        EventLog log;
        log.attach(reader);
        if (i == 1) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        reader.ConnectionString = sqliteConnection(path);
        ASSERT_TRUE(reader.OpenDalvDatabase());
        ASSERT_TRUE(reader.GenerateXML());
        docs[i] = reader.oResultXML.xml();
        events[i] = log.events;
    }
    EXPECT_EQ(docs[0], docs[1]);
    ASSERT_EQ(events[0].size(), events[1].size());
    for (std::size_t i = 0; i < events[0].size(); ++i) EXPECT_EQ(events[0][i].message, events[1][i].message);
}

TEST(cADODB, EmptyDatabaseGivesBareRoot)
{
    testsupport::TempDir dir;
    const std::string path = makeSqlite(dir, {"CREATE TABLE scratch (x INTEGER)", "DROP TABLE scratch"});
    cADODB reader;
    reader.ConnectionString = sqliteConnection(path);
    ASSERT_TRUE(reader.OpenDalvDatabase());
    ASSERT_TRUE(reader.GenerateXML());
    EXPECT_EQ(reader.oResultXML.xml(),
              canonical("<?xml version=\"1.0\"?><DATABASE Not_Read=\"STOREDPROCEDURE TRIGGER\" Indexes_Read=\"Unique\" DBMS_Name=\"SQLite\"/>"));
}

TEST(cADODB, CancelStopsTheImport)
{
    testsupport::TempDir dir;
    const std::string path = makeSqlite(dir, kSqliteSchema);
    struct Case {
        std::string at;
        bool documentExists;
        int tables;
    };
    // Cancel before the document exists, on the first table, and part-way through the tables.
    for (const Case& cs : {Case{"Initialing XML...", false, 0}, Case{"Importing Customer Info", true, 0},
                           Case{"Importing order", true, 1}, Case{"Importing ix order note", true, 2}}) {
        SCOPED_TRACE(cs.at);
        cADODB reader;
        EventLog log;
        log.stopAt = [&cs](const Event& e) { return e.message == cs.at; };
        log.attach(reader);
        reader.ConnectionString = sqliteConnection(path);
        ASSERT_TRUE(reader.OpenDalvDatabase());
        EXPECT_FALSE(reader.GenerateXML());
        EXPECT_EQ(!reader.oResultXML.isEmpty(), cs.documentExists);
        EXPECT_EQ(reader.oResultXML.count("/DATABASE/TABLE"), cs.tables);
        EXPECT_EQ(log.events.back().message, cs.at);  // nothing raised after the cancel
        EXPECT_EQ(log.count("Database imported"), 0);
    }
}

TEST(cADODB, ClosedConnectionGeneratesNothing)
{
    cADODB reader;
    EventLog log;
    log.attach(reader);
    EXPECT_FALSE(reader.GenerateXML());
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(reader.oResultXML.isEmpty());
}

TEST(cADODB, DatabaseVanishingMidImportFails)
{
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    const std::string path = makeSqlite(dir, kSqliteSchema);
    for (bool perTable : {false, true}) {
        SCOPED_TRACE(perTable ? "per table" : "whole database");
        std::string copy = dir.file(perTable ? "b.db" : "a.db");
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        ErrorCapture errors;
        cADODB reader;
        if (perTable) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        EventLog log;
        log.onEvent = [&](const Event& e) {
            if (e.message == "Importing Customer Info") {
                std::ofstream f(copy, std::ios::binary | std::ios::trunc);
                f << std::string(8192, 'x');
            }
        };
        log.attach(reader);
        reader.ConnectionString = sqliteConnection(copy);
        ASSERT_TRUE(reader.OpenDalvDatabase());
        EXPECT_FALSE(reader.GenerateXML());
        EXPECT_TRUE(reader.failed());
        ASSERT_EQ(errors.entries.size(), 1u);  // reported once, not once per table or column
        EXPECT_EQ(errors.entries[0].source, "GenerateTablesXML");
        EXPECT_FALSE(errors.entries[0].description.empty());
        EXPECT_EQ(log.count("Database imported"), 0);
    }
}

TEST(cADODB, ConnectionLostMidImportFails)
{
    testsupport::TempDir dir;
    const std::string path = makeSqlite(dir, kSqliteSchema);
    for (bool perTable : {false, true}) {
        SCOPED_TRACE(perTable ? "per table" : "whole database");
        ErrorCapture errors;
        cADODB reader;
        if (perTable) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        EventLog log;
        log.onEvent = [&](const Event& e) {
            if (e.message == "Checking for Foreign key(s) in Customer Info") reader.cDalvane.close();
        };
        log.attach(reader);
        reader.ConnectionString = sqliteConnection(path);
        ASSERT_TRUE(reader.OpenDalvDatabase());
        EXPECT_FALSE(reader.GenerateXML());
        ASSERT_EQ(errors.entries.size(), 1u);
        // Read per table, the foreign keys notice it; read ahead, the next rowset does.
        EXPECT_EQ(errors.entries[0].source, perTable ? "cADODB.GenerateForeignKeyElement" : "GenerateViewsXML");
        EXPECT_EQ(log.count("Database imported"), 0);
    }
}

TEST(cADODB, OpeningFailuresTellTheUser)
{
    testsupport::ScopedPrompter prompts;
    {
        cADODB reader;
        reader.ConnectionString = "Driver=NoSuchDriverDalvane;Database=x";
        EXPECT_FALSE(reader.OpenDalvDatabase());
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->lastMessage(),  // the driver named after the message
                  "Selected provider does not exist, please install required components and check again.\n\n"
                  "The ODBC driver \"NoSuchDriverDalvane\" is not installed on this machine; install it and try again.");
        EXPECT_EQ(prompts->messages.back().icon, ui::MsgIcon::Critical);
    }
    {
        // Nothing listens on port 1: the generic provider error, the driver's words under it.
        cADODB reader;
        reader.ConnectionString = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=x;UID=u;PWD=p";
        EXPECT_FALSE(reader.OpenDalvDatabase());
        ASSERT_EQ(prompts->messages.size(), 2u);
        EXPECT_NE(prompts->lastMessage().find("try again.\n\nconnection to server"), std::string::npos);
        EXPECT_EQ(prompts->messages.back().title, "Dalvane 4.5");
        EXPECT_FALSE(reader.GenerateXML());
    }
    testsupport::TempDir dir;  // a file that is no database, a missing one, a wrong password, database
    std::ofstream(dir.file("notes.db")) << "plain text\n";
    const std::string pg = serverConnection(ServerDatabase::Engine::PostgreSQL);
    std::vector<std::pair<std::string, std::string>> cases = {
        {sqliteConnection(dir.file("notes.db")), "\n\nThe file " + dir.file("notes.db") + " is not a SQLite database."},
        {sqliteConnection("file:" + dir.file("none.db")), "The database file " + dir.file("none.db") + " does not exist."}};
    if (!pg.empty())
        cases.insert(cases.end(), {{pg + ";PWD=wrong", "password, try again!\n\nconnection to server"},
                                   {pg + ";Database=no_such_db", "\"no_such_db\" does not exist"}});
    for (const auto& [connection, said] : cases) {
        cADODB reader;
        reader.ConnectionString = connection;
        EXPECT_FALSE(reader.OpenDalvDatabase());
        EXPECT_NE(prompts->lastMessage().find(said), std::string::npos) << prompts->lastMessage();
        EXPECT_EQ(prompts->messages.back().title, "Dalvane 4.5");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.db")));
}

// Keys, indexes and foreign keys read for the whole database (one query each) give the same
// document as reading them table by table, on the SQLite driver's odd cases: keys out of column
// order, WITHOUT ROWID, UNIQUE constraints standing in for a missing key, expression indexes,
// referenced names in other case or in brackets, keys without referenced columns.
TEST(cADODB, SqliteWholeDatabaseRowsetsWriteTheSameDocumentAsPerTable)
{
    testsupport::TempDir dir;
    const std::string path = makeSqlite(
        dir, {R"(CREATE TABLE "Kunde Größe" ("Nr" INTEGER NOT NULL, "Land's" TEXT NOT NULL, note TEXT,
                   PRIMARY KEY ("Land's", "Nr")))",
              R"(CREATE TABLE a_b (ab INTEGER PRIMARY KEY, u TEXT UNIQUE))",
              R"(CREATE TABLE "o'key" (id INTEGER PRIMARY KEY, parent INTEGER REFERENCES "o'key" ON DELETE CASCADE,
                   nr INTEGER, land TEXT, memo TEXT, x INTEGER REFERENCES A_B(ab), y INTEGER REFERENCES [a_b](ab),
                   FOREIGN KEY (land, nr) REFERENCES "Kunde Größe"("Land's", "Nr") ON UPDATE SET NULL))",
              R"(CREATE UNIQUE INDEX "ix memo" ON "o'key" (memo DESC, nr))",
              R"(CREATE INDEX ix_expr ON "o'key" (lower(memo), id))",
              R"(CREATE TABLE np (a INTEGER NOT NULL, b TEXT NOT NULL, UNIQUE (b, a)))",
              R"(CREATE TABLE wr (k TEXT, n INTEGER, v TEXT REFERENCES np(b), PRIMARY KEY (n, k)) WITHOUT ROWID)",
              R"(CREATE TABLE axb (id INTEGER PRIMARY KEY AUTOINCREMENT, r INTEGER REFERENCES a_b, s TEXT REFERENCES wr))",
              R"(CREATE TABLE t (a TEXT NOT NULL, b TEXT NOT NULL, c TEXT, UNIQUE (a), UNIQUE (b, c)))"});
    std::string docs[2];
    for (int i = 0; i < 2; ++i) {
        cADODB reader;
        if (i == 1) reader.setRowsetReading(cADODB::RowsetReading::PerTable);
        reader.ConnectionString = sqliteConnection(path);
        ASSERT_TRUE(reader.OpenDalvDatabase());
        if (i == 0) {
            EXPECT_TRUE(reader.cDalvane.readsWholeCatalogue(db::adSchemaIndexes));
        }
        ASSERT_TRUE(reader.GenerateXML());
        docs[i] = reader.oResultXML.xml();
    }
    EXPECT_NE(docs[0].find("FOREIGNKEY"), std::string::npos);
    EXPECT_NE(docs[0].find("ix memo"), std::string::npos);
    EXPECT_EQ(docs[0], docs[1]);
    xml::Document d;  // unique constraints stay indexes, and make no key
    ASSERT_TRUE(d.loadXML(docs[0]));
    EXPECT_EQ(d.count("/DATABASE/TABLE[@Name='t' or @Name='np']/COLUMN[@Primary_Key!='']"), 0);
    EXPECT_EQ(d.count("/DATABASE/TABLE[@Name='t']/INDEX[@Column_Name='a' or @Column_Name='b,c']"), 2);
}

// Column facts as SQLite's catalogue declares them; constraint names that only the DDL holds.
TEST(cADODB, SqliteFactsAreTheDeclarations)
{
    testsupport::TempDir dir;
    const std::string path = makeSqlite(
        dir, {"CREATE TABLE country (code CHAR(2) NOT NULL, name VARCHAR(40), CONSTRAINT pk_country PRIMARY KEY (code))",
              "CREATE TABLE city (id INTEGER PRIMARY KEY, price DECIMAL(5,2) DEFAULT 1.5, flag CHAR(1) DEFAULT 'Y', "
              "pic BLOB, country CHAR(2) CONSTRAINT fk_city_country REFERENCES country(code) ON DELETE RESTRICT, "
              "twin CHAR(2), FOREIGN KEY (twin) REFERENCES Country(code))",
              // Generated columns, which the driver does not list, one of them indexed.
              "CREATE TABLE shape (id INTEGER PRIMARY KEY, w REAL, \"Area\" REAL GENERATED ALWAYS AS (w * (w + 1)) "
              "STORED, label TEXT AS ( 'w=' || w ), note TEXT DEFAULT 'x')",
              "CREATE UNIQUE INDEX ix_shape_area ON shape(area)"});
    cADODB reader;
    reader.ConnectionString = sqliteConnection(path);
    ASSERT_TRUE(reader.OpenDalvDatabase());
    ASSERT_TRUE(reader.GenerateXML());
    const xml::Document& d = reader.oResultXML;

    db::Connection c;
    c.open(sqliteConnection(path));
    int compared = 0;
    for (db::Recordset rs = c.execute("SELECT m.name, p.name, p.type, p.\"notnull\" OR (p.pk AND p.type = 'INTEGER'), "
                                      "p.dflt_value FROM sqlite_master m, pragma_table_info(m.name) p");
         !rs.eof(); rs.moveNext(), ++compared) {
        const xml::Node col = d.selectSingleNode("/DATABASE/TABLE[@Name=" + xml::xpathLiteral(rs.field(0).toString()) +
                                                 "]/COLUMN[@Name=" + xml::xpathLiteral(rs.field(1).toString()) + "]");
        ASSERT_TRUE(col) << rs.field(1).toString();
        const std::string declared = rs.field(2).toString();
        EXPECT_EQ(col.attribute("Datatype"), declared.substr(0, declared.find('(')));
        EXPECT_EQ(col.attribute("Null_Allowed"), rs.field(3).toInt() ? "False" : "True") << rs.field(1).toString();
        EXPECT_EQ(col.attribute("Column_Default"), rs.field(4).isNull() ? "" : rs.field(4).toString());
    }
    EXPECT_EQ(compared, 11);
    std::string shape;
    for (const xml::Node& c : d.selectNodes("/DATABASE/TABLE[@Name='shape']/COLUMN"))
        shape += c.attribute("Name") + "=" + c.attribute("Column_Default") + ";";
    EXPECT_EQ(shape, "id=;w=;Area=GENERATED ALWAYS AS (w * (w + 1)) STORED;label=GENERATED ALWAYS AS ('w=' || w) VIRTUAL;"
                     "note='x';");
    EXPECT_EQ(d.selectSingleNode("/DATABASE/TABLE[@Name='shape']/INDEX[@Name='ix_shape_area']").attribute("Column_Name"),
              "Area");
    const xml::Node price = d.selectSingleNode("/DATABASE/TABLE[@Name='city']/COLUMN[@Name='price']");
    EXPECT_EQ(price.attribute("Length") + "," + price.attribute("Scale"), "5,2");
    EXPECT_EQ(d.selectSingleNode("/DATABASE/TABLE[@Name='city']/COLUMN[@Name='pic']").attribute("Length"), "0");
    EXPECT_EQ(d.selectSingleNode("/DATABASE/TABLE[@Name='country']/COLUMN[@Name='code']").attribute("Primary_Key"),
              "pk_country");
    EXPECT_EQ(d.selectSingleNode("/DATABASE/TABLE[@Name='city']/COLUMN[@Name='id']").attribute("Primary_Key"), "PK_city");
    EXPECT_EQ(d.count("/DATABASE/TABLE/INDEX[@Name='sqlite_autoindex_0']"), 0);
    // Both keys refer to country (the second by another spelling of its name).
    ASSERT_EQ(d.count("/DATABASE/TABLE[@Name='country']/FOREIGNKEY"), 2);
    auto fk = [&d](const char* column) {
        const xml::Node n = d.selectSingleNode(std::string("/DATABASE/TABLE/FOREIGNKEY[@Related_Column='") + column + "']");
        return n.attribute("Name") + " " + n.attribute("Delete_Rule");
    };
    EXPECT_EQ(fk("country"), "fk_city_country RESTRICT");
    EXPECT_EQ(fk("twin"), " NO ACTION");
}
