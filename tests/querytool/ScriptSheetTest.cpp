// The SQL script sheets on structures from every reader: the script text for each engine,
// and the parts SQLite understands run on a real database.
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/db/Connection.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "QueryToolTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

namespace {

class ScriptSheets : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;

    void SetUp() override {
        ASSERT_TRUE(querytooltest::startReportEngine(dir));
    }
    void TearDown() override {
        ReleaseReportEngine();
        oStructures.clear();
    }
    void useStructure(const std::string& xmlText) {
        auto doc = std::make_shared<xml::Document>();
        ASSERT_TRUE(doc->loadXML(xmlText)) << doc->parseError();
        oReportEngine->oResultXML = doc;
    }
    static std::string script(const char* sheet) {
        std::string out;
        EXPECT_TRUE(oReportEngine->ApplyXSL(files::joinPath(StylesFolder, sheet), false, &out)) << sheet;
        return out;
    }
    static std::set<std::string> tables(db::Connection& c) {
        std::set<std::string> out;
        for (auto rs = c.execute("select name from sqlite_master where type = 'table' and name not like 'sqlite%'");
             !rs.eof(); rs.moveNext())
            out.insert(rs["name"].toString());
        return out;
    }
};

TEST_F(ScriptSheets, SampleDatabaseScriptRebuildsItsTablesOnSQLite) {
    const std::string sample = dir.file("sample.db");
    ASSERT_EQ(std::system(("sqlite3 '" + sample + "' < '" DALV_SOURCE_DIR "/examples/sample.sql'").c_str()), 0);
    ASSERT_TRUE(oStructures.loadXML("<DATABASESTRUCTURES><DATABASEGROUP Name=\"g\"/></DATABASESTRUCTURES>"));
    oReportEngine->CurrentDatabaseEngineId(12);
    ASSERT_TRUE(oReportEngine->ResetConnectionString());
    oReportEngine->CurrentDatabaseGroup(1);
    oReportEngine->ConnectionString("Driver=SQLite3;Database=" + sample);
    oReportEngine->DatabaseName("sample");
    ASSERT_TRUE(oReportEngine->OpenDalvDatabase());
    ASSERT_TRUE(oReportEngine->ImportDatabase(true));

    const std::string ss = script("SQLServerScript.xsl");
    EXPECT_NE(ss.find("CREATE TABLE [customers] ("), std::string::npos) << ss;
    EXPECT_NE(ss.find("CREATE UNIQUE INDEX [ux_order_items_product] ON [order_items] ([order_id], [product_id]);"),
              std::string::npos) << ss;
    // A UNIQUE constraint's index, under a name of ours.
    EXPECT_NE(ss.find("CREATE UNIQUE INDEX [UX_regions_2] ON [regions] ([region_name]);"), std::string::npos) << ss;
    EXPECT_NE(ss.find("DEFAULT CURRENT_TIMESTAMP NOT NULL"), std::string::npos) << ss;
    EXPECT_NE(ss.find("ALTER TABLE [orders] ADD CONSTRAINT"), std::string::npos) << ss;
    EXPECT_NE(script("OracleScript.xsl").find("CREATE TABLE \"customers\" ("), std::string::npos);
    EXPECT_NE(script("DB2Script.xsl").find("CREATE TABLE \"customers\" ("), std::string::npos);
    EXPECT_NE(script("AccessScript.xsl").find("CREATE TABLE [customers] ("), std::string::npos);
    EXPECT_EQ(script("SQLServer65Script.xsl").find("SET QUOTED_IDENTIFIER ON;\nCREATE TABLE \"regions\" ("), 0u);

    // Tables and indexes run on SQLite as they are (it takes [bracketed] names).
    db::Connection original, copy;
    original.open("Driver=SQLite3;Database=" + sample);
    copy.open("Driver=SQLite3;Database=" + dir.file("copy.db"));
    std::istringstream lines(ss);
    int run = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("CREATE TABLE", 0) == 0 || line.rfind("CREATE INDEX", 0) == 0 ||
            line.rfind("CREATE UNIQUE INDEX", 0) == 0) {
            copy.execute(line);
            ++run;
        }
    }
    EXPECT_EQ(tables(copy), tables(original));
    EXPECT_GT(static_cast<size_t>(run), tables(original).size());
    auto cols = [](db::Connection& c) {
        std::vector<std::string> names;
        db::Recordset rs = c.execute("select * from order_items");
        for (int i = 0; i < rs.fieldCount(); ++i) names.push_back(rs.fieldInfo(i).name);
        return names;
    };
    EXPECT_EQ(cols(copy), cols(original));
}

TEST_F(ScriptSheets, EveryReadersVocabularyGivesTheSameScriptWithNamesQuoted) {
    // The same two tables as the DAO reader and as the ADO reader write them.
    const std::string dao =
        "<DATABASE><TABLE Name=\"a]b\" Report=\"1\">"
        "<COLUMN Column_Name=\"id\" Data_Type=\"Long Integer\" Precision=\"4\" Ordinal_Position=\"1\" Null_Allowed=\"False\" Primary_Key=\"PrimaryKey\" Report=\"1\"/>"
        "<COLUMN Column_Name='x\"y' Data_Type=\"Text\" Precision=\"50\" Ordinal_Position=\"2\" Column_Default=\"&quot;it's&quot;\" Null_Allowed=\"True\" Primary_Key=\"\" Report=\"1\"/>"
        "<INDEX Name=\"PrimaryKey\" Unique=\"Yes\" Primary_Key=\"Yes\" Index_Type=\"Clustered\" Report=\"1\"><COLUMN Column_Name=\"id\" Report=\"1\"/></INDEX>"
        "<INDEX Name=\"ix\" Unique=\"No\" Primary_Key=\"No\" Index_Type=\"Non-Clustered\" Report=\"1\"><COLUMN Column_Name='x\"y' Sort_Order=\"Descending\" Report=\"1\"/></INDEX>"
        "</TABLE><TABLE Name=\"kids\" Report=\"1\">"
        "<COLUMN Column_Name=\"pid\" Data_Type=\"Long Integer\" Precision=\"4\" Ordinal_Position=\"1\" Null_Allowed=\"True\" Report=\"1\"/>"
        "<FOREIGNKEY Name=\"fk_kids\" Foreign_Key_Column=\"pid\" Primary_Key_Table=\"a]b\" Foreign_Key_Table=\"kids\" Primary_Key_Column=\"id\" Update_Rule=\"CASCADE\" Delete_Rule=\"CASCADE\" Report=\"1\"/>"
        "</TABLE></DATABASE>";
    const std::string ado =
        "<DATABASE><TABLE Name=\"a]b\" Report=\"1\">"
        "<COLUMN Name=\"id\" Datatype=\"Long Integer\" Length=\"4\" Ordinal_Position=\"1\" Null_Allowed=\"False\" Primary_Key=\"PrimaryKey\"/>"
        "<COLUMN Name='x\"y' Datatype=\"Text\" Length=\"50\" Ordinal_Position=\"2\" Column_Default=\"&quot;it's&quot;\" Null_Allowed=\"True\" Primary_Key=\"\"/>"
        "<INDEX Name=\"ix\" Index_Type=\"Non-Clustered\" Unique=\"No\" Column_Name='x\"y' Report=\"1\"/>"
        "<FOREIGNKEY Name=\"fk_kids\" Related_Column=\"pid\" Primary_Key_Table=\"a]b\" Foreign_Key_Table=\"kids\" Primary_Key_Column=\"id\" Update_Rule=\"CASCADE\" Delete_Rule=\"CASCADE\" Report=\"1\"/>"
        "</TABLE><TABLE Name=\"kids\" Report=\"1\">"
        "<COLUMN Name=\"pid\" Datatype=\"Long Integer\" Length=\"4\" Ordinal_Position=\"1\" Null_Allowed=\"True\"/>"
        "</TABLE></DATABASE>";
    for (const char* sheet : {"SQLServerScript.xsl", "SQLServer65Script.xsl", "OracleScript.xsl", "AccessScript.xsl",
                              "DB2Script.xsl"}) {
        useStructure(dao);
        const std::string fromDao = script(sheet);
        useStructure(ado);
        const std::string fromAdo = script(sheet);
        // DAO's "Text" of 50 is a sized string; the ADO reader's plain "Text" a long one: all
        // else is the same.
        EXPECT_NE(fromDao.find("ADD CONSTRAINT"), std::string::npos) << sheet << "\n" << fromDao;
        EXPECT_EQ(fromDao.substr(fromDao.find("ALTER TABLE")), fromAdo.substr(fromAdo.find("ALTER TABLE"))) << sheet;
    }
    useStructure(dao);
    EXPECT_EQ(script("SQLServerScript.xsl"),
              "CREATE TABLE [a]]b] ([id] int NOT NULL, [x\"y] varchar(50) DEFAULT 'it''s', "
              "CONSTRAINT [PK_a]]b] PRIMARY KEY ([id]));\n"
              "CREATE TABLE [kids] ([pid] int);\n"
              "CREATE INDEX [ix] ON [a]]b] ([x\"y] DESC);\n"
              "ALTER TABLE [kids] ADD CONSTRAINT [fk_kids] FOREIGN KEY ([pid]) REFERENCES [a]]b] ([id]) "
              "ON DELETE CASCADE ON UPDATE CASCADE;\n");
    EXPECT_EQ(script("OracleScript.xsl"),
              "CREATE TABLE \"a]b\" (\"id\" NUMBER(10) NOT NULL, \"x\"\"y\" VARCHAR2(50) DEFAULT 'it''s', "
              "CONSTRAINT \"PK_a]b\" PRIMARY KEY (\"id\"));\n"
              "CREATE TABLE \"kids\" (\"pid\" NUMBER(10));\n"
              "CREATE INDEX \"ix\" ON \"a]b\" (\"x\"\"y\" DESC);\n"
              "ALTER TABLE \"kids\" ADD CONSTRAINT \"fk_kids\" FOREIGN KEY (\"pid\") REFERENCES \"a]b\" (\"id\") "
              "ON DELETE CASCADE;\n");
    const std::string access = script("AccessScript.xsl");
    EXPECT_NE(access.find("[id] LONG NOT NULL, [x\"y] TEXT(50)"), std::string::npos) << access;
}

}  // namespace
