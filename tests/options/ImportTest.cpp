// Import dispatch and filing in the project document, against real SQLite databases.
#include "OptionsTestSupport.h"

#include "platform/db/Connection.h"
#include "platform/ui/ProgressTarget.h"

#include <functional>
#include <set>

using optionstest::OptionsTest;

namespace {

// A window's progress operations, recorded.
struct RecordingTarget : ui::ProgressTarget {
    std::vector<std::string> calls;
    std::vector<std::string> statusTexts;
    std::function<void()> onIncrement;
    RecordingTarget() { ui::registerProgressTarget(this); }
    ~RecordingTarget() override { ui::unregisterProgressTarget(this); }
    void StartProgress(const std::string& m, int) override { calls.push_back("start:" + m); }
    void IncrementProgress(const std::string& m, int) override {
        calls.push_back("step:" + m);
        if (onIncrement) onIncrement();
    }
    void StopProgress(const std::string& m) override { calls.push_back("stop:" + m); }
    void setStatusText(const std::string& t) override { statusTexts.push_back(t); }
};

class Import : public OptionsTest {
protected:
    cReport* r = nullptr;
    std::string dbPath;

    void SetUp() override {
        OptionsTest::SetUp();
        dbPath = dir.file("shop.db");
        db::Connection c;
        c.open("Driver=SQLite3;Database=" + dbPath);
        for (const char* sql : {
                 "CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)",
                 "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer INTEGER REFERENCES customers(id))",
                 "CREATE UNIQUE INDEX ix_orders ON orders(customer, id)",
                 "CREATE TABLE \"O'Brien|Sons\" (id INTEGER PRIMARY KEY)",
                 "CREATE VIEW big_orders AS SELECT * FROM orders WHERE id > 10",
             })
            c.execute(sql);
        c.close();
        r = &startUp();
        chooseEngine(12);
        r->ConnectionString("Driver=SQLite3;Database=" + dbPath);
        r->DatabaseName("shop");
    }

    xml::Node entry(int g, int n) {
        return oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) +
                                            "]/DATABASECONNECTION[" + std::to_string(n) + "]");
    }
    bool import(bool addAsNew) { return r->OpenDalvDatabase() && r->ImportDatabase(addAsNew); }
};

}  // namespace

TEST_F(Import, FirstImportCreatesTheFolderAndFilesTheEntry) {
    newProject(false);
    RecordingTarget target;
    ASSERT_TRUE(import(true));
    EXPECT_TRUE(errors.empty());

    xml::Node folder = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder.attribute("Name"), "Dalvane Folder");
    EXPECT_EQ(folder.attribute("Key"), "DALVANEFOLDER|1");
    EXPECT_EQ(folder.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION");
    EXPECT_EQ(r->CurrentDatabaseGroup(), 1);
    EXPECT_EQ(r->CurrentDatabaseNumber(), 1);

    xml::Node e = entry(1, 1);
    ASSERT_TRUE(e);
    EXPECT_EQ(e.attribute("Name"), "shop");
    EXPECT_EQ(e.attribute("Key"), "shop|1|1");
    EXPECT_EQ(e.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[1]");
    EXPECT_EQ(e.attribute("ConnectionString"), "Driver=SQLite3;Database=" + dbPath);
    EXPECT_EQ(e.attribute("ServerType"), "OTHERS");
    EXPECT_EQ(e.attribute("CreatedBy"), "tester");
    EXPECT_EQ(e.count("TABLES/TABLE"), 3);
    const int indexes = r->oResultXML->count("/DATABASE/TABLE/INDEX");
    EXPECT_GT(indexes, 0);
    EXPECT_EQ(e.count("TABLES/TABLE/INDEXES/INDEX"), indexes);
    EXPECT_EQ(e.count("VIEWS/VIEW"), 1);
    EXPECT_EQ(e.count("STOREDPROCEDURES/STOREDPROCEDURE"), 0);
    EXPECT_EQ(e.selectSingleNode("RELATIONSHIPDIAGRAM").attribute("RHXPath"), "RELATIONSHIPDIAGRAM");
    xml::Node odd = e.selectSingleNode("TABLES/TABLE[@Name=\"O'Brien|Sons\"]");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd.attribute("Key"), "O'Brien_Sons|1|1|1|3");
    EXPECT_EQ(odd.attribute("RHXPath"), "DATABASE/TABLE[3]");
    // Every outline element names its object in the structure document.
    for (const xml::Node& o : e.selectNodes("TABLES//*[@RHXPath] | VIEWS/VIEW")) {
        xml::Node target = r->oResultXML->selectSingleNode(o.attribute("RHXPath"));
        ASSERT_TRUE(target) << o.attribute("RHXPath");
        if (o.name() == target.name()) {
            EXPECT_EQ(target.attribute("Name"), o.attribute("Name"));
        }
    }
    EXPECT_EQ(e.selectSingleNode("TABLES/TABLE[@Name='orders']/INDEXES/INDEX[@Name='ix_orders']").attribute("RHXPath"),
              "DATABASE/TABLE[2]/INDEX[" +
                  std::to_string(r->oResultXML->count("DATABASE/TABLE[2]/INDEX[@Name='ix_orders']/preceding-sibling::INDEX") + 1) +
                  "]");
    xml::Node last = e.childElements().back();
    EXPECT_EQ(last.name(), "DBOPTIONS");
    EXPECT_EQ(last.attribute("Display"), "0");
    EXPECT_EQ(e.count("REPORTOPTIONS"), 1);

    // Every key is unique.
    std::set<std::string> keys;
    xml::NodeList keyed = oStructures.selectNodes("//*[@Key]");
    for (const xml::Node& k : keyed) keys.insert(k.attribute("Key"));
    EXPECT_EQ(keys.size(), keyed.size());

    xml::Document& doc = *r->oResultXML;
    EXPECT_EQ(doc.documentElement().attribute("DatabaseName"), "shop");
    EXPECT_EQ(doc.count("DATABASE/DBOPTIONS"), 1);
    xml::Node summary = doc.selectSingleNode("DATABASE/REPORTOPTIONS/SUMMARY");
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary.attribute("DatabaseName"), "shop");
    EXPECT_EQ(summary.attribute("TablesCount"), "3");
    EXPECT_EQ(summary.attribute("ViewsCount"), "1");
    // The reader does not read triggers: their number is not known, not 0.
    EXPECT_EQ(summary.attribute("TriggersCount"), "not available");
    EXPECT_EQ(summary.attribute("IndexesCount"), std::to_string(indexes));
    const std::string text = r->GenerateSummary();
    EXPECT_NE(text.find("Database Name: shop\r\n"), std::string::npos);
    EXPECT_NE(text.find("Number of Tables: 3\r\n"), std::string::npos);
    EXPECT_NE(text.find("Number of Triggers: not available\r\n"), std::string::npos);
    EXPECT_NE(text.find("Number of Unique Indexes: "), std::string::npos);

    ASSERT_FALSE(target.calls.empty());
    EXPECT_EQ(target.calls.front().rfind("start:", 0), 0u);
    EXPECT_EQ(target.calls.back().rfind("stop:", 0), 0u);
    EXPECT_GE(target.statusTexts.size(), target.calls.size());
    for (const std::string& s : target.statusTexts) EXPECT_EQ(s.find("___"), std::string::npos) << s;
}

TEST_F(Import, LaterImportsAddOrReplaceEntries) {
    newProject(true);
    ASSERT_TRUE(import(true));
    ASSERT_TRUE(import(true));
    EXPECT_EQ(r->CurrentDatabaseNumber(), 2);
    EXPECT_EQ(entry(1, 2).attribute("Key"), "shop|1|2");

    // Replacing the first entry keeps only its diagram file.
    entry(1, 1).setAttribute("DiagramFile", "/reports/diagram.xml");
    entry(1, 1).setAttribute("TempXMLFileName", "/tmp/old.xml");
    r->CurrentDatabaseNumber(1);
    ASSERT_TRUE(import(false));
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION"), 2);
    EXPECT_EQ(entry(1, 1).attribute("DiagramFile"), "/reports/diagram.xml");
    EXPECT_FALSE(entry(1, 1).hasAttribute("TempXMLFileName"));
    // One summary in the report options, that of the last import.
    EXPECT_EQ(r->oResultXML->count("DATABASE/REPORTOPTIONS/SUMMARY"), 1);
}

TEST_F(Import, CurrentFolderPastTheExistingOnes) {
    newProject(true);
    auto before = r->oResultXML;
    r->CurrentDatabaseGroup(3);
    EXPECT_FALSE(import(true));
    EXPECT_EQ(oStructures.count("//DATABASECONNECTION"), 0);
    EXPECT_NE(r->oResultXML, before);  // the structure had been fetched

    // Filed in place of the current one: a new folder at the end, and the numbers follow.
    r->CurrentDatabaseNumber(4);
    ASSERT_TRUE(import(false));
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP"), 2);
    EXPECT_EQ(oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]").attribute("Name"), "Dalvane Folder");
    EXPECT_EQ(r->CurrentDatabaseGroup(), 2);
    EXPECT_EQ(r->CurrentDatabaseNumber(), 1);
    EXPECT_EQ(entry(2, 1).attribute("Key"), "shop|2|1");
}

TEST_F(Import, WithoutAProjectDocumentTheStructureIsOnlyCompleted) {
    ASSERT_TRUE(import(true));
    EXPECT_TRUE(oStructures.isEmpty());
    EXPECT_EQ(r->oResultXML->count("DATABASE/REPORTOPTIONS/SUMMARY"), 1);
}

TEST_F(Import, MissingEntryStyleSheetFilesNothing) {
    newProject(true);
    std::filesystem::remove(StylesFolder + "/GenerateLHXML.xsl");
    EXPECT_FALSE(import(true));
    EXPECT_EQ(oStructures.count("//DATABASECONNECTION"), 0);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(Import, CancelStopsTheImportAndKeepsTheCurrentStructure) {
    newProject(true);
    loadStructure();
    auto before = r->oResultXML;
    RecordingTarget target;
    target.onIncrement = [this] { r->CancelImport(); };
    ASSERT_TRUE(r->OpenDalvDatabase());
    EXPECT_TRUE(r->ImportRunning() == false);
    EXPECT_FALSE(r->ImportDatabase(true));
    EXPECT_EQ(oStructures.count("//DATABASECONNECTION"), 0);
    EXPECT_EQ(r->oResultXML, before);
    // Connecting, then the first step of the import, which asked to cancel.
    EXPECT_EQ(target.calls, (std::vector<std::string>{"start:Connecting to database shop", "step:Initialing XML..."}));
    EXPECT_TRUE(errors.empty());

    // The next import starts afresh.
    target.onIncrement = nullptr;
    ASSERT_TRUE(import(true));
}

TEST_F(Import, NothingReentersARunningImport) {
    newProject(true);
    RecordingTarget target;
    int attempts = 0;
    target.onIncrement = [&] {
        if (attempts++ > 0) return;
        EXPECT_TRUE(r->ImportRunning());
        EXPECT_FALSE(r->OpenDalvDatabase());
        EXPECT_FALSE(r->ImportDatabase(true));
        EXPECT_FALSE(r->LoadDBOptionsXML("<DBOPTIONS/>"));
        EXPECT_FALSE(r->ClearRemovedDBInfo(""));
    };
    ASSERT_TRUE(import(true));
    EXPECT_GT(attempts, 0);
    EXPECT_FALSE(r->ImportRunning());
    EXPECT_EQ(oStructures.count("//DATABASECONNECTION"), 1);
    EXPECT_EQ(r->CurrentDatabaseEngineName(), "OTHERS");
}

TEST_F(Import, ReaderChoiceByAccessTechnology) {
    chooseEngine(8);  // Access: the DAO reader, here on a file that is not there
    r->DatabasePath(dir.file("missing.mdb"));
    EXPECT_FALSE(r->OpenDalvDatabase());
    EXPECT_EQ(r->ConnectionType, "DAO");
    EXPECT_NE(prompts->lastMessage().find("missing.mdb\" cannot be opened"), std::string::npos);

    for (int engine : {1, 4}) {  // SQL Server, Oracle: the catalogue-query reader, which fails to connect
        chooseEngine(engine);
        r->DBServerName("127.0.0.1,1");
        const auto shown = prompts->messages.size();
        EXPECT_FALSE(r->OpenDalvDatabase());
        EXPECT_EQ(r->ConnectionType, "SYSQUERY");
        ASSERT_EQ(prompts->messages.size(), shown + 1);
        EXPECT_EQ(prompts->lastMessage().find("not available"), std::string::npos) << prompts->lastMessage();
    }

    // The wizard's choice of Access reader reaches no other engine ...
    chooseEngine(12);
    r->ConnectionString("Driver=SQLite3;Database=" + dbPath);
    r->AccessConnectionType = "ADOX";
    EXPECT_TRUE(r->OpenDalvDatabase());
    EXPECT_EQ(r->ConnectionType, "ADODB");
    // ... and overrides an Access engine's own reader; without it the connection's sort option chooses.
    chooseEngine(8);
    r->DatabasePath(dir.file("missing.mdb"));
    EXPECT_FALSE(r->OpenDalvDatabase());  // the ADOX reader finds no Access file
    EXPECT_EQ(r->ConnectionType, "ADOX");
    EXPECT_FALSE(r->ImportDatabase(true));  // the reader did not open: nothing is fetched
    EXPECT_EQ(oStructures.count("//DATABASECONNECTION"), 0);
    r->AccessConnectionType.clear();
    r->DatabasePath(testsupport::accessCopy(dir, "nwind.mdb"));
    for (bool sorted : {true, false}) {
        r->SortTableStructure(sorted);
        EXPECT_TRUE(r->OpenDalvDatabase()) << prompts->lastMessage();
        EXPECT_EQ(r->ConnectionType, sorted ? "ADOX" : "DAO");
    }

    chooseEngine(12);
    r->ConnectionString("Driver=SQLite3;Database=" + dir.file("no/such/dir/x.db"));
    EXPECT_FALSE(r->OpenDalvDatabase());
}

// Engine 13: a structure document saved earlier is imported again with the current options and
// a fresh summary; a file that is no structure document is refused with a message.
TEST_F(Import, SavedStructureFileIsImportedAgain) {
    newProject(true);
    StylesFolder = files::joinPath(DALV_SOURCE_DIR, "data/styles");
    ASSERT_TRUE(import(true));
    const std::string saved = dir.file("saved structure.xml");
    ASSERT_TRUE(r->oResultXML->save(saved));

    chooseEngine(13);
    r->DatabasePath(saved);
    r->DatabaseName("shop again");
    ASSERT_TRUE(import(true));
    EXPECT_EQ(oStructures.count("//DATABASECONNECTION"), 2);
    const xml::Document& doc = *r->oResultXML;
    EXPECT_EQ(doc.count("DATABASE/TABLE"), 3);
    EXPECT_EQ(doc.count("DATABASE/DBOPTIONS"), 1);
    EXPECT_EQ(doc.count("DATABASE/REPORTOPTIONS"), 1);
    EXPECT_EQ(doc.count("DATABASE/REPORTOPTIONS/SUMMARY"), 1);
    EXPECT_EQ(doc.selectSingleNode("DATABASE/REPORTOPTIONS/SUMMARY").attribute("TablesCount"), "3");
    EXPECT_EQ(doc.documentElement().attribute("DatabaseName"), "shop again");
    // The facts of the original database survive, and the saved file passes the structure check.
    EXPECT_EQ(doc.documentElement().attribute("DatabaseEngine"), "OTHERS");
    EXPECT_EQ(doc.documentElement().attribute("ServerType"), "OTHERS");
    EXPECT_EQ(doc.documentElement().attribute("DatabaseType"), "12");
    std::string savedText;
    ASSERT_TRUE(files::readTextFile(saved, savedText));
    EXPECT_TRUE(ValidateXML(saved, savedText, false, "xml"));

    const std::string bogus = dir.file("bogus.xml");
    ASSERT_TRUE(files::writeTextFile(bogus, "<DALVIMPORT/>"));
    r->DatabasePath(bogus);
    const auto shown = prompts->messages.size();
    EXPECT_FALSE(r->OpenDalvDatabase());
    EXPECT_EQ(prompts->messages.size(), shown + 1);
    EXPECT_EQ(prompts->lastMessage(), "Invalid dalvane structure file");
    r->DatabasePath(dir.file("missing.xml"));
    EXPECT_FALSE(r->OpenDalvDatabase());
    EXPECT_EQ(oStructures.count("//DATABASECONNECTION"), 2);

    // Whichever reader wrote it (the catalogue queries': their documents as files), whole or as the XML report.
    const std::string access = testsupport::accessCopy(dir, "nwind.mdb"), whole = dir.file("w.xml"), staged = dir.file("s.xml");
    for (const std::string reader : {"ADODB", "DAO", "ADOX", "import/sysquery-walk.xml", "import/sysquery-sqlserver.xml"}) {
        std::string first, html, report;
        for (const std::string& source : {reader.size() > 5 ? testsupport::fixturePath(reader) : access, whole, staged}) {
            chooseEngine(source != access ? 13 : reader == "ADODB" ? 12 : 10);
            r->DatabasePath(source);
            r->DatabaseName("shop");
            r->AccessConnectionType = reader;  // read for Access engines only
            ASSERT_TRUE(import(true) && r->ApplyXSL(StylesFolder + "/ReportFormat1.xsl", false, &html, &report) &&
                        r->SaveXML(whole, false, false) && r->SaveXML(staged, true, false)) << source;
            if (first.empty()) first = html + report;
            EXPECT_EQ(html + report, first) << reader << " from " << source;
        }
    }
}
