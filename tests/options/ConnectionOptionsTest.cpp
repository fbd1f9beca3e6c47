// Connection options, the engine catalogue and the connection string.
#include "OptionsTestSupport.h"

#include "core/bDBEngines.h"
#include "platform/db/ConnectionString.h"

using optionstest::OptionsTest;

namespace {

struct EngineRow {
    int id;
    const char* caption;
    const char* migrationCode;
    const char* connectionType;
};

const EngineRow kEngines[] = {
    {1, "SQL Server 2000", "SQLSERVER", "SYSQUERY"},   {2, "SQL Server 7.0", "SQLSERVER", "SYSQUERY"},
    {3, "SQL Server 6.5", "SQLSERVER65", "SYSQUERY"},  {4, "Oracle 9i", "ORACLE", "SYSQUERY"},
    {5, "Oracle 8i", "ORACLE", "SYSQUERY"},            {6, "Oracle 7.x", "ORACLE", "SYSQUERY"},
    {7, "Personal Oracle", "ORACLE", "SYSQUERY"},      {8, "MS Access XP", "ACCESS", "DAO"},
    {9, "MS Access 2000", "ACCESS", "DAO"},            {10, "MS Access (97, 95 or 2.0)", "ACCESS", "DAO"},
    {11, "IBM DB2 Version 7", "IBMDB2", "ADODB"},      {12, "OTHERS", "OTHERS", "ADODB"},
    {13, "Dalvane XML", "", "XML"},
};

// The kind a catalogue entry's own attributes give it.
EngineKind kindOfEntry(const xml::Node& e) {
    if (e.attribute("ConnectionType") == "XML") return EngineKind::DalvaneXML;
    const std::string code = e.attribute("MigrationCode");
    if (code.rfind("SQLSERVER", 0) == 0) return EngineKind::SQLServer;
    if (code == "ORACLE") return EngineKind::Oracle;
    if (code == "ACCESS") return EngineKind::Access;
    if (code == "IBMDB2") return EngineKind::IBMDB2;
    return code == "OTHERS" ? EngineKind::Others : EngineKind::Unknown;
}

std::string valueOf(const std::string& cs, const std::string& keyword) {
    return db::parameterValue(db::parseConnectionString(cs), keyword);
}

}  // namespace

TEST_F(OptionsTest, CatalogueListsEveryEngineInIdOrder) {
    cReport& r = startUp();
    xml::NodeList engines = r.DBEnginesXML().selectNodes("DBENGINES/DBENGINE");
    ASSERT_EQ(engines.size(), std::size(kEngines));
    for (std::size_t i = 0; i < engines.size(); ++i) {
        const EngineRow& e = kEngines[i];
        SCOPED_TRACE(e.caption);
        EXPECT_EQ(engines[i].attribute("Id"), std::to_string(e.id));
        EXPECT_EQ(engines[i].attribute("Caption"), e.caption);
        EXPECT_EQ(engines[i].attribute("Display"), "1");
        EXPECT_EQ(engines[i].attribute("ConnectionType"), e.connectionType);
        if (e.id <= 12) {
            EXPECT_EQ(engines[i].attribute("MigrationCode"), e.migrationCode);
        }
        EXPECT_TRUE(engines[i].selectSingleNode("CONNECTIONSTRING/PARAMETERS"));
        // The engine table in code agrees with the catalogue file.
        const DBEngineFacts& facts = DBEngine(e.id);
        EXPECT_EQ(facts.kind, kindOfEntry(engines[i]));
        EXPECT_NE(facts.kind, EngineKind::Unknown);
        EXPECT_EQ(facts.migrationCode, engines[i].attribute("MigrationCode"));
        const xml::Node provider =
            engines[i].selectSingleNode("CONNECTIONSTRING/PARAMETERS/PARAMETER[@Name='Provider']/@Value");
        EXPECT_EQ(facts.provider, provider ? provider.text() : std::string());
    }
    EXPECT_EQ(EngineKindOf(0), EngineKind::Unknown);
    EXPECT_EQ(EngineKindOf(static_cast<int>(engines.size()) + 1), EngineKind::Unknown);
    EXPECT_EQ(engines[11].attribute("Name"), "OTHERS");
    EXPECT_EQ(r.DBEnginesXML().count("DBENGINES/DBENGINE[@Name='OTHERS']"), 1);
}

TEST_F(OptionsTest, MissingCatalogueIsReportedAndLeavesItEmpty) {
    DataFolder = dir.file("nowhere");
    cReport r;
    EXPECT_TRUE(r.DBEnginesXML().isEmpty());
    ASSERT_FALSE(prompts->messages.empty());
    EXPECT_EQ(prompts->lastMessage(), "Error loading " + DataFolder + "/DBEngines.xml, please check");
    EXPECT_EQ(prompts->messages.back().icon, ui::MsgIcon::Critical);
    EXPECT_FALSE(r.RefreshDBEnginesXML());
    r.CurrentDatabaseEngineId(1);
    EXPECT_FALSE(r.ResetConnectionString());
}

TEST_F(OptionsTest, StartUpStateAndOptionsBeforeInitialisation) {
    report = std::make_unique<cReport>();
    cReport& r = *report;
    // The engine is not chosen yet: InitializeDBOptions builds nothing.
    r.InitializeDBOptions();
    r.DBServerName("srv");
    r.CurrentDatabaseGroup(3);
    r.SortTableStructure(true);
    EXPECT_EQ(r.DBServerName(), "");
    EXPECT_EQ(r.CurrentDatabaseGroup(), 0);
    EXPECT_FALSE(r.SortTableStructure());
    r.CurrentDatabaseEngineId(4);
    EXPECT_EQ(r.m_CurrentDatabaseEngineId, 4);
    EXPECT_EQ(r.LastDBEngineName, "");

    report.reset();
    cReport& s = startUp();
    // The engine was set before SERVER existed, so the options still name no engine.
    EXPECT_EQ(s.m_CurrentDatabaseEngineId, 1);
    EXPECT_EQ(s.CurrentDatabaseEngineId(), 0);
    EXPECT_EQ(s.CurrentDatabaseGroup(), 1);
    EXPECT_EQ(s.CurrentDatabaseNumber(), 1);
    EXPECT_EQ(s.DBOptionsXML().selectSingleNode("DBOPTIONS/MOREINFO/SERVER").attribute("OS"), "Linux test");
    EXPECT_FALSE(s.SortTableStructure());
    s.SortTableStructure(true);
    EXPECT_TRUE(s.SortTableStructure());
    EXPECT_EQ(s.LastDBEngineId, -1);
}

TEST_F(OptionsTest, ChoosingAnEngineCopiesItsFactsAndTemplate) {
    cReport& r = startUp();
    chooseEngine(8);
    EXPECT_EQ(r.CurrentDatabaseEngineId(), 8);
    EXPECT_EQ(r.CurrentDatabaseEngineCaption(), "MS Access XP");
    EXPECT_EQ(r.CurrentMigrationCode(), "ACCESS");
    EXPECT_EQ(r.LastDBEngineName, r.CurrentDatabaseEngineName());
    EXPECT_EQ(r.DatabaseEngine(), "MS Access XP");
    ASSERT_TRUE(r.ResetConnectionString());
    EXPECT_EQ(r.DBOptionsXML().count("DBOPTIONS/CONNECTIONSTRING"), 1);
    EXPECT_EQ(r.DBOptionsXML().documentElement().childElements().back().name(), "CONNECTIONSTRING");

    r.Password("kept?");
    chooseEngine(1);  // a new template brings back empty values
    EXPECT_EQ(r.Password(), "");
    EXPECT_EQ(r.CurrentMigrationCode(), "SQLSERVER");

    r.CurrentDatabaseEngineId(99);
    EXPECT_EQ(r.CurrentDatabaseEngineId(), 99);
    EXPECT_EQ(r.CurrentDatabaseEngineCaption(), "");
    EXPECT_EQ(r.CurrentDatabaseEngineName(), "");
    EXPECT_EQ(r.CurrentMigrationCode(), "");
    EXPECT_EQ(r.DatabaseEngine(), "");
    EXPECT_FALSE(r.ResetConnectionString());
}

TEST_F(OptionsTest, ConnectionPropertiesWriteTheirParameters) {
    cReport& r = startUp();
    chooseEngine(1);
    r.DBServerName("db.example");
    r.DatabaseName("Sales");
    r.AuthenticationMode("Sql");
    EXPECT_EQ(r.DBServerName(), "db.example");
    EXPECT_EQ(r.DatabaseName(), "Sales");
    EXPECT_EQ(valueOf(r.BuildConnectionString(), "Integrated Security"), "");
    r.AuthenticationMode("windows");
    EXPECT_EQ(r.AuthenticationMode(), "windows");
    r.AuthenticationMode("SQL");  // leaves the earlier SSPI in place
    std::string cs = r.BuildConnectionString();
    EXPECT_EQ(valueOf(cs, "Integrated Security"), "SSPI");
    EXPECT_EQ(valueOf(cs, "Data Source"), "db.example");
    EXPECT_EQ(valueOf(cs, "Initial Catalog"), "Sales");

    // A file path: 'Data Source' follows it only for the Access engines.
    r.DatabasePath("/data/shop.mdb");
    EXPECT_EQ(r.DatabaseName(), "shop.mdb");
    EXPECT_EQ(r.DatabasePath(), "/data/shop.mdb");
    cs = r.BuildConnectionString();
    EXPECT_EQ(valueOf(cs, "Data Source"), "db.example");
    EXPECT_EQ(valueOf(cs, "Initial Catalog"), "/data/shop.mdb");
    chooseEngine(9);
    r.DatabasePath("/data/shop.mdb");
    r.AccessDatabasePassword("db pw");
    r.WorkgroupDatabase("/data/system.mdw");
    EXPECT_EQ(r.AccessDatabasePassword(), "db pw");
    EXPECT_EQ(r.WorkgroupDatabase(), "/data/system.mdw");
    cs = r.BuildConnectionString();
    EXPECT_EQ(valueOf(cs, "Data Source"), "/data/shop.mdb");
    EXPECT_EQ(valueOf(cs, "Jet OLEDB:System Database"), "/data/system.mdw");
    EXPECT_EQ(r.DBOptionsXML().selectSingleNode("DBOPTIONS/CONNECTIONSTRING").attribute("Value"), cs);
    EXPECT_EQ(r.ConnectionString(), cs);
}

TEST_F(OptionsTest, EveryEngineBuildsAStringNoValueCanInjectInto) {
    cReport& r = startUp();
    const std::string hostile[] = {"p;Provider=Evil;x=", "a\"b'c", "{x}=y;", "  padded  ", "Ünïcode;'\""};
    for (int id = 1; id <= 11; ++id) {
        for (const std::string& pw : hostile) {
            SCOPED_TRACE("engine " + std::to_string(id) + " password " + pw);
            chooseEngine(id);
            const std::string provider =
                r.DBOptionsXML().selectSingleNode("DBOPTIONS/CONNECTIONSTRING/PARAMETERS/PARAMETER[@Name='Provider']")
                    .attribute("Value");
            r.DBServerName("srv;Database=other");
            r.UserName("user=admin");
            r.Password(pw);
            const std::string cs = r.BuildConnectionString();
            db::ConnectionParameters params = db::parseConnectionString(cs);
            EXPECT_EQ(db::parameterValue(params, "Password"), pw);
            EXPECT_EQ(db::parameterValue(params, "User Id"), "user=admin");
            EXPECT_EQ(db::parameterValue(params, "Provider"), provider);
            EXPECT_EQ(db::parameterValue(params, "x"), "");
            EXPECT_EQ(db::parameterValue(params, "Database"), "");
            EXPECT_EQ(db::parameterValue(params, "Data Source"), "srv;Database=other");
        }
    }
}

TEST_F(OptionsTest, EmptyValuesAreLeftOutAndOthersKeepsTheUsersString) {
    cReport& r = startUp();
    chooseEngine(13);  // a template without parameters
    EXPECT_EQ(r.BuildConnectionString(), "");
    EXPECT_EQ(r.DBOptionsXML().selectSingleNode("DBOPTIONS/CONNECTIONSTRING").attribute("Value"), "");

    chooseEngine(11);
    r.UserName("u");
    EXPECT_EQ(r.BuildConnectionString(), "Provider=IBMDADB2.1;Persist Security Info=False;User Id=u");

    chooseEngine(12);
    r.DBOptionsXML().selectSingleNode("DBOPTIONS/CONNECTIONSTRING").setAttribute("Value", "old");
    r.ConnectionString("");
    EXPECT_EQ(r.BuildConnectionString(), "");
    r.ConnectionString("Driver=SQLite3;Database=/tmp/a b.db");
    EXPECT_EQ(r.BuildConnectionString(), "Driver=SQLite3;Database=/tmp/a b.db");
    EXPECT_EQ(r.DBOptionsXML().selectSingleNode("DBOPTIONS/CONNECTIONSTRING").attribute("Value"), "old");
}

TEST_F(OptionsTest, LoadDBOptionsXMLReappliesTheEngineAndKeepsOptionsOnBadText) {
    cReport& r = startUp();
    chooseEngine(1);
    r.DatabaseName("Before");
    EXPECT_FALSE(r.LoadDBOptionsXML("<DBOPTIONS><MOREINFO>"));
    EXPECT_EQ(r.DatabaseName(), "Before");

    ASSERT_TRUE(r.LoadDBOptionsXML(
        "<DBOPTIONS><MOREINFO><SERVER Name='s' DBEngineId='9' DBEngineName='' DBEngineCaption='' MigrationCode=''/>"
        "<DATABASE Name='Stored' CurrentDatabaseGroup='2' CurrentDatabaseNumber='5'/></MOREINFO></DBOPTIONS>"));
    EXPECT_EQ(r.m_CurrentDatabaseEngineId, 9);
    EXPECT_EQ(r.CurrentDatabaseEngineCaption(), "MS Access 2000");
    EXPECT_EQ(r.CurrentMigrationCode(), "ACCESS");
    EXPECT_EQ(r.DatabaseEngine(), "MS Access 2000");
    EXPECT_EQ(r.DatabaseName(), "Stored");
    EXPECT_EQ(r.CurrentDatabaseNumber(), 5);

    ASSERT_TRUE(r.LoadDBOptionsXML("<DBOPTIONS/>"));
    EXPECT_EQ(r.m_CurrentDatabaseEngineId, 9);
}
