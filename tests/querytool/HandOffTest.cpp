// The hand-off from the main program: the document and the query tool started as a process,
// against SQLite and, when their servers run, PostgreSQL and MariaDB.
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/fs/Paths.h"
#include "platform/xml/Xml.h"
#include "QueryToolTestSupport.h"
#include "startup/bStartup.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

class HandOff : public ::testing::TestWithParam<const char*> {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::string connection;
    std::string handOff;

    void SetUp() override {
        const std::string engine = GetParam();
        if (engine == "sqlite") {
            connection = "Driver=SQLite3;Database=" + dir.file("marks.db");
        } else {
            const char* cs = std::getenv(engine.c_str());
            if (!cs || !*cs) GTEST_SKIP() << engine << " not set: run scripts/dbservers.sh start";
            connection = cs;
        }
        ASSERT_TRUE(querytooltest::startReportEngine(dir));
        TempFolder = dir.path();
        oReportEngine->ConnectionString(connection);
        oReportEngine->DatabaseName("marks");
        // The connection's temporary structure file: only its last ".xml" is replaced.
        files::createFolders(dir.file("a.xml.d"));
        const std::string temp = dir.file("a.xml.d/conn.xml");
        handOff = dir.file("a.xml.d/conn_Query.xml");
        ASSERT_TRUE(oStructures.loadXML("<DATABASESTRUCTURES><DATABASEGROUP><DATABASECONNECTION TempXMLFileName=\"" +
                                        temp + "\"/></DATABASEGROUP></DATABASESTRUCTURES>"));
        oReportEngine->CurrentDatabaseGroup(1);
        oReportEngine->CurrentDatabaseNumber(1);
        table = "brenik_marks_" + std::to_string(::getpid());
        db.open(connection);
        db.execute("DROP TABLE IF EXISTS " + table);
        db.execute("CREATE TABLE " + table + " (v VARCHAR(40))");
    }
    void TearDown() override {
        for (auto& p : ProcessHandles) p->kill();
        ProcessHandles.clear();
        if (db.isOpen()) db.execute("DROP TABLE IF EXISTS " + table);
        ReleaseReportEngine();
        oStructures.clear();
        TempFolder.clear();
    }
    std::vector<std::string> values() {
        std::vector<std::string> out;
        for (db::Recordset rs = db.execute("SELECT v FROM " + table + " ORDER BY v"); !rs.eof(); rs.moveNext())
            out.push_back(rs["v"].toString());
        return out;
    }
    bool waitForRows(size_t n) {
        for (int i = 0; i < 300; ++i) {
            if (values().size() >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    std::string table;
    db::Connection db;
};

TEST_P(HandOff, TheQueryToolRunsTheHandedQueryOnlyWhenAskedAndEndsWithTheProgram) {
    // A value that ends the CDATA section and would break the markup.
    const std::string hostile = "x]]><&y";
    ASSERT_TRUE(Brenik(true, "INSERT INTO " + table + " VALUES ('" + hostile + "')"));
    struct stat st {};
    ASSERT_EQ(::stat(handOff.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    xml::Document doc;
    ASSERT_TRUE(doc.load(handOff));
    EXPECT_EQ(doc.selectSingleNode("BRENIK/@ExecuteNow").text(), "True");
    EXPECT_EQ(doc.selectSingleNode("BRENIK/CONNECTIONSTRING").text(), connection);
    EXPECT_NE(doc.selectSingleNode("BRENIK/QUERY").text().find(hostile), std::string::npos);
    ASSERT_TRUE(waitForRows(1)) << "the handed query did not run";
    EXPECT_EQ(values(), std::vector<std::string>{hostile});

    // Not run at once: only placed in the editor.
    ASSERT_TRUE(Brenik(false, "INSERT INTO " + table + " VALUES ('later')"));
    ASSERT_TRUE(Brenik(false, ""));
    ASSERT_EQ(ProcessHandles.size(), 3u);
    std::vector<qint64> pids;
    for (auto& p : ProcessHandles) pids.push_back(p->processId());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    for (auto& p : ProcessHandles) EXPECT_EQ(p->state(), QProcess::Running);
    EXPECT_EQ(values(), std::vector<std::string>{hostile});

    ClearAllTemporaryFiles();
    for (qint64 pid : pids) EXPECT_NE(::kill(static_cast<pid_t>(pid), 0), 0) << "query tool " << pid << " still runs";
}

INSTANTIATE_TEST_SUITE_P(Engines, HandOff, ::testing::Values("sqlite", "DALV_TEST_PG", "DALV_TEST_MARIADB"),
                         [](const auto& info) {
                             return std::string(info.param) == "sqlite" ? std::string("SQLite")
                                                                        : std::string(info.param).substr(10);
                         });

TEST(HandOffFile, OnlyTheFinalXmlIsReplacedAndAFailedStartIsNotRecorded) {
    EXPECT_EQ(HandOffFileName("/t/a.xml.d/conn.xml"), "/t/a.xml.d/conn_Query.xml");
    EXPECT_EQ(HandOffFileName("/t/conn.xmlx"), "");
    EXPECT_EQ(HandOffFileName("/t/conn.XML"), "");

    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    ASSERT_TRUE(querytooltest::startReportEngine(dir, dir.path()));  // no program there
    // No current connection: nothing happens.
    oStructures.clear();
    EXPECT_FALSE(Brenik(false, ""));
    EXPECT_TRUE(prompts->messages.empty());

    ASSERT_TRUE(oStructures.loadXML("<DATABASESTRUCTURES><DATABASEGROUP><DATABASECONNECTION TempXMLFileName=\"" +
                                    dir.file("c.xml") + "\"/></DATABASEGROUP></DATABASESTRUCTURES>"));
    oReportEngine->CurrentDatabaseGroup(1);
    oReportEngine->CurrentDatabaseNumber(1);
    EXPECT_FALSE(Brenik(false, ""));
    EXPECT_NE(prompts->lastMessage().find("The query tool could not be started"), std::string::npos);
    // A project document naming a place outside the private temporary folder gets nothing there.
    EXPECT_FALSE(files::fileExists(dir.file("c_Query.xml")));
    EXPECT_TRUE(ProcessHandles.empty());

    // An Access database goes to the query tool by its file, whatever string an earlier
    // connection left behind.
    oReportEngine->ConnectionString("Driver=SQLite3;Database=" + dir.file("earlier.db"));
    oReportEngine->CurrentDatabaseEngineId(9);
    oReportEngine->DatabasePath(dir.file("my shop;1.mdb"));
    EXPECT_EQ(BrenikConnectionString(), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + dir.file("my shop;1.mdb") + "\"");
    EXPECT_EQ(db::toOdbcConnectionString(BrenikConnectionString()), "Driver=MDBTools;DBQ={" + dir.file("my shop;1.mdb") + "}");
    ReleaseReportEngine();
    oStructures.clear();
}

}  // namespace
