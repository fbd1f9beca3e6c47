// The catalogue-query reader: its walking rules over real databases with definitions written
// here, the shipped definitions checked for what the consumers read, and the SQL Server and
// Oracle trees run against canned catalogue rows.
#include "ImportTestSupport.h"

#include "core/bGlobal.h"
#include "import/cDBSysQuery.h"
#include "platform/fs/Paths.h"

#include <gtest/gtest.h>


using namespace importtest;

namespace {

// A stand-in catalogue in ordinary tables, so that one set of definitions runs on every engine.
const std::vector<std::string> kCatalogue = {
    "CREATE TABLE cat_tables (ord INTEGER, owner VARCHAR(20), name VARCHAR(40), created VARCHAR(20))",
    "CREATE TABLE cat_columns (owner VARCHAR(20), table_name VARCHAR(40), column_name VARCHAR(40), pos INTEGER)",
    "CREATE TABLE cat_notes (table_name VARCHAR(40), column_name VARCHAR(40), note VARCHAR(40))",
    "CREATE TABLE cat_text (owner VARCHAR(20), name VARCHAR(40), seq INTEGER, chunk VARCHAR(100))",
    "CREATE TABLE cat_indexes (table_name VARCHAR(40), index_name VARCHAR(40), kind VARCHAR(10))",
    "CREATE TABLE cat_index_columns (index_name VARCHAR(40), column_name VARCHAR(40), pos INTEGER)",
    "INSERT INTO cat_tables VALUES (1, 'dbo', 'O''Brien', '2024-01-02'), (2, 'dbo', 'a___b', NULL),"
    " (3, 'sales', 'plain', '2024-03-04')",
    "INSERT INTO cat_columns VALUES ('dbo', 'O''Brien', 'id', 1), ('dbo', 'O''Brien', 'it''s', 2),"
    " ('dbo', 'a___b', 'x', 1), ('sales', 'plain', 'y', 1), ('dbo', 'plain', 'wrong owner', 1)",
    "INSERT INTO cat_notes VALUES ('O''Brien', 'it''s', 'quoted note'), ('a___b', 'x', 'split note')",
    "INSERT INTO cat_text VALUES ('dbo', 'O''Brien', 2, 'FROM t'), ('dbo', 'O''Brien', 1, 'SELECT 1 '),"
    " ('sales', 'plain', 1, 'x')",
    "INSERT INTO cat_indexes VALUES ('a___b', 'u1', 'unique'), ('a___b', 'p1', 'plain'), ('plain', 'u2', 'unique')",
    "INSERT INTO cat_index_columns VALUES ('u1', 'x', 1), ('p1', 'x', 1), ('p1', 'y', 2), ('u2', 'y', 1)",
};

std::string definition(int id, const std::string& parent, const std::string& fetch, const std::string& element,
                       const std::string& query, const std::string& condition, const std::string& columns,
                       const std::string& output = "OutputMultipleRows=\"1\" OutputType=\"ELEMENT\"")
{
    return "<TABLE Id=\"" + std::to_string(id) + "\" ParentXPath=\"" + parent + "\" Fetch=\"" + fetch +
           "\" CurrentElement=\"" + element + "\" " + output + "><QUERY>" + query + "</QUERY><CONDITION>" +
           condition + "</CONDITION><TYPE>SQL</TYPE><COLUMNLIST>" + columns + "</COLUMNLIST></TABLE>";
}

std::string testDefinitions(const std::string& extra = {})
{
    const std::string single = "OutputMultipleRows=\"0\"";
    const std::string attribute = "OutputMultipleRows=\"1\" OutputType=\"ATTRIBUTE\"";
    return "<QUERIES><DATABASE Id=\"3\">" +
           definition(1, "DATABASE", "T", "TABLE", "SELECT owner, name, created FROM cat_tables", "1 = 1 ORDER BY ord",
                      "<COLUMN Display=\"0\" KeyColumn=\"1\">owner</COLUMN>"
                      "<COLUMN Display=\"1\" Title=\"Name\" KeyColumn=\"1\">name</COLUMN>"
                      "<COLUMN Display=\"1\" Title=\"Created On\">created</COLUMN>"
                      "<COLUMN Display=\"1\" Title=\"Missing\">no_such_field</COLUMN>") +
           definition(2, "TABLE", "T", "COLUMN", "SELECT table_name, column_name, pos FROM cat_columns",
                      "owner = DALVZZZ AND table_name = DALVYYY ORDER BY pos",
                      "<COLUMN Display=\"0\" KeyColumn=\"1\">table_name</COLUMN>"
                      "<COLUMN Display=\"1\" Title=\"Column Name\" KeyColumn=\"1\">column_name</COLUMN>"
                      "<COLUMN Display=\"1\" Title=\"Ordinal Position\">pos</COLUMN>") +
           definition(3, "COLUMN", "T", "COLUMN", "SELECT note FROM cat_notes",
                      "table_name = 'DALVZZZ' AND column_name = DALVYYY",
                      "<COLUMN Display=\"0\" Title=\"Check Constraint\" KeyColumn=\"1\">note</COLUMN>", attribute) +
           definition(4, "TABLE", "T", "SQLSCRIPT", "SELECT chunk FROM cat_text",
                      "owner = DALVZZZ AND name = DALVYYY ORDER BY seq", "", single) +
           // Two definitions write INDEX; each one's columns belong to its own rows.
           definition(5, "TABLE", "T", "INDEX", "SELECT index_name FROM cat_indexes",
                      "table_name = DALVYYY AND kind = 'unique'",
                      "<COLUMN Display=\"1\" Title=\"Name\" KeyColumn=\"1\">index_name</COLUMN>") +
           definition(6, "TABLE", "T", "INDEX", "SELECT index_name FROM cat_indexes",
                      "table_name = DALVYYY AND kind = 'plain'",
                      "<COLUMN Display=\"1\" Title=\"Name\" KeyColumn=\"1\">index_name</COLUMN>") +
           definition(7, "INDEX", "T", "COLUMN", "SELECT column_name FROM cat_index_columns",
                      "index_name = DALVZZZ ORDER BY pos",
                      "<COLUMN Display=\"1\" Title=\"Column Name\">column_name</COLUMN>") +
           definition(8, "DATABASE", "S", "DATABASE", "SELECT COUNT(*) AS n FROM cat_tables", "",
                      "<COLUMN Display=\"0\" Title=\"Max Connections\" KeyColumn=\"1\">n</COLUMN>", attribute) +
           definition(9, "DATABASE", "S", "DATABASE", "SELECT note FROM cat_notes", "note = 'none'",
                      "<COLUMN Display=\"0\" Title=\"Lock Timeout\" KeyColumn=\"1\">note</COLUMN>", attribute) +
           extra + "</DATABASE></QUERIES>";
}

void writeQueries(const std::string& folder, const std::string& text)
{
    ASSERT_TRUE(files::writeTextFile(files::joinPath(folder, "Queries.dvq"), EncryptText(text, PassPhrase2)));
}

// The date of the import is the only part that changes from run to run.
std::string documentText(xml::Document& d)
{
    d.documentElement().setAttribute("Created_On", "-");
    return d.xml();
}

struct SysQueryFixture : ::testing::Test {
    testsupport::TempDir dir;
    void SetUp() override { PassPhrase2 = StoredPassPhrase(2); }
    void configure(cDBSysQuery& r, const std::string& connection, int engine = 3)
    {
        r.QueriesFolder = dir.path();
        r.CurrentDatabaseEngineId = static_cast<std::int16_t>(engine);
        r.ConnectionString = connection;
        r.DatabaseName = "shop";
        r.DatabaseEngine = "Test Engine";
        r.DBServerName = "host";
    }
};

class SysQueryEngines : public SysQueryFixture,
                        public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(SysQueryEngines, WalksDefinitionsWithKeysShapesAndFailures)
{
    const std::string engine = GetParam();
    std::string connection;
    std::unique_ptr<ServerDatabase> server;
    if (engine == "SQLite") {
        connection = "Driver=SQLite3;Database=" + dir.file("cat.db");
    } else {
        server = std::make_unique<ServerDatabase>(engine == "PostgreSQL" ? ServerDatabase::Engine::PostgreSQL
                                                                         : ServerDatabase::Engine::MariaDB);
        connection = server->connectionString();
        if (connection.empty()) GTEST_SKIP() << "database server not configured";
    }
    {
        db::Connection c;
        c.open(connection);
        run(c, kCatalogue);
    }
    writeQueries(dir.path(), testDefinitions());
    ErrorCapture errors;
    {
        cDBSysQuery reader;
        configure(reader, connection);
        EventLog log;
        log.attach(reader);
        ASSERT_TRUE(reader.OpenDalvDatabase());
        ASSERT_TRUE(reader.GenerateXML()) << (errors.entries.empty() ? "" : errors.entries[0].description);
        expectFixtureText(documentText(reader.oResultXML), "sysquery-walk.xml");
        // The key stays whole in the progress text; closing events follow the walk.
        EXPECT_EQ(log.count("Importing dbo___a___b"), 4);
        ASSERT_GE(log.events.size(), 2u);
        EXPECT_EQ(log.events[log.events.size() - 2].message, "Finializing Database Import Process...");
        EXPECT_EQ(log.events.back().status, 4);
    }
    {  // A cancel stops the walk: False, nothing reported.
        cDBSysQuery reader;
        configure(reader, connection);
        EventLog log;
        log.attach(reader);
        log.stopAt = [](const Event& e) { return e.message == "Importing dbo___a___b"; };
        ASSERT_TRUE(reader.OpenDalvDatabase());
        EXPECT_FALSE(reader.GenerateXML());
        EXPECT_EQ(log.count("Importing dbo___a___b"), 1);
        EXPECT_EQ(log.count("Finializing"), 0);
        EXPECT_TRUE(errors.entries.empty());
    }
    {  // A child statement that fails ends the import with one report.
        writeQueries(dir.path(), testDefinitions(definition(10, "TABLE", "T", "BROKEN", "SELECT x FROM no_such_table",
                                                            "name = DALVYYY", "")));
        cDBSysQuery reader;
        configure(reader, connection);
        ASSERT_TRUE(reader.OpenDalvDatabase());
        EXPECT_FALSE(reader.GenerateXML());
        ASSERT_EQ(errors.entries.size(), 1u);
        EXPECT_EQ(errors.entries[0].source, "cDBSysQuery.GenerateXML");
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, SysQueryEngines, ::testing::Values("SQLite", "PostgreSQL", "MariaDB"));

TEST(cDBSysQuery, KeyPartsBecomeParametersOrQuotedText)
{
    const std::vector<db::Value> key = {db::Value("it's"), db::Value(42LL), db::Value("a]\"b")};
    const auto b = cDBSysQuery::bindKey(
        "SELECT 'DALVZZZ', 'x DALVZZZ', DALVYYY, [DALVXXX], \"DALVXXX\", 'DALVZZZ''', DALVWWW FROM t", key);
    EXPECT_EQ(b.sql, "SELECT ?, 'x it''s', ?, [a]]\"b], \"a]\"\"b\", 'it''s''', DALVWWW FROM t");
    ASSERT_EQ(b.parameters.size(), 2u);
    EXPECT_EQ(b.parameters[0], db::Value("it's"));
    EXPECT_EQ(b.parameters[1], db::Value(42LL));
}
